<!DOCTYPE html>
<html lang="fr">
<head>
<meta charset="utf-8">
<title>Weinkeller zum Löwen – Annuaire Alpin</title>
<link rel="stylesheet" href="/pagesjaunes/style.css">
</head>
<body>
<header class="site"><a class="logo" href="/pagesjaunes/index.aspx">Annuaire <span>Alpin</span></a></header>
<main>
<p class="crumbs"><a href="/pagesjaunes/index.aspx">Accueil</a> › <a href="/pagesjaunes/resultats.aspx">Résultats</a></p>
<div class="vcard">
<h1 class="n fn">Weinkeller zum Löwen</h1>
<p class="trade">Weinhandlung</p>
<div class="adr"><span class="street-address">Spalenberg 15</span><br>
<span class="postal-code">4051</span> <span class="locality">Basel</span></div>
<table class="contact">
<tr><td><span class="tel">Phone: 061 261 42 42</span></td></tr>
<tr><td><span class="fax">Fax: 061 261 42 43</span></td></tr>
<tr><td class="email">E-mail : <a href="mailto:keller@zumloewen.ch">keller@zumloewen.ch</a></td></tr>
</table>
</div>
</main>
<footer class="site">Annuaire Alpin · Service clientèle : <a href="mailto:service.clients@annuaire.example">service.clients@annuaire.example</a> · Données fictives de démonstration</footer>
</body>
</html>
