<!DOCTYPE html>
<html lang="fr">
<head>
<meta charset="utf-8">
<title>Bäckerei-Konditorei Hofer – Annuaire Alpin</title>
<link rel="stylesheet" href="/pagesjaunes/style.css">
</head>
<body>
<header class="site"><a class="logo" href="/pagesjaunes/index.aspx">Annuaire <span>Alpin</span></a></header>
<main>
<p class="crumbs"><a href="/pagesjaunes/index.aspx">Accueil</a> › <a href="/pagesjaunes/resultats.aspx">Résultats</a></p>
<div class="vcard">
<h1 class="n fn">Bäckerei-Konditorei Hofer</h1>
<p class="trade">Bäckerei</p>
<div class="adr"><span class="street-address">Marktgasse 50</span><br>
<span class="postal-code">3011</span> <span class="locality">Bern</span></div>
<table class="contact">
<tr><td><span class="tel">Phone: 031 311 22 33</span></td></tr>
<tr><td><span class="fax">Fax: 031 311 22 34</span></td></tr>
<tr><td class="url">Site web: <a href="http://www.hofer-beck.ch" target="_blank">www.hofer-beck.ch</a></td></tr>
<tr><td class="email">E-mail : <a href="mailto:info@hofer-beck.ch">info@hofer-beck.ch</a></td></tr>
</table>
</div>
</main>
<footer class="site">Annuaire Alpin · Service clientèle : <a href="mailto:service.clients@annuaire.example">service.clients@annuaire.example</a> · Données fictives de démonstration</footer>
</body>
</html>
