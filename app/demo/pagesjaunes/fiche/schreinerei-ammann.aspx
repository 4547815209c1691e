<!DOCTYPE html>
<html lang="fr">
<head>
<meta charset="utf-8">
<title>Schreinerei Ammann – Annuaire Alpin</title>
<link rel="stylesheet" href="/pagesjaunes/style.css">
</head>
<body>
<header class="site"><a class="logo" href="/pagesjaunes/index.aspx">Annuaire <span>Alpin</span></a></header>
<main>
<p class="crumbs"><a href="/pagesjaunes/index.aspx">Accueil</a> › <a href="/pagesjaunes/resultats.aspx">Résultats</a></p>
<div class="vcard">
<h1 class="n fn">Schreinerei Ammann</h1>
<p class="trade">Schreinerei</p>
<div class="adr"><span class="street-address">Dorfstrasse 7</span><br>
<span class="postal-code">8400</span> <span class="locality">Winterthur</span></div>
<table class="contact">
<tr><td><span class="tel">Phone: 052 212 34 56</span></td></tr>
<tr><td><span class="fax">Fax: 052 212 34 57</span></td></tr>
<tr><td class="url">Site web: <a href="http://www.ammann-holz.ch" target="_blank">www.ammann-holz.ch</a></td></tr>
<tr><td class="email">E-mail : <a href="mailto:info@ammann-holz.ch">info@ammann-holz.ch</a></td></tr>
</table>
</div>
</main>
<footer class="site">Annuaire Alpin · Service clientèle : <a href="mailto:service.clients@annuaire.example">service.clients@annuaire.example</a> · Données fictives de démonstration</footer>
</body>
</html>
