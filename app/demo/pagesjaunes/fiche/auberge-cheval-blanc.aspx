<!DOCTYPE html>
<html lang="fr">
<head>
<meta charset="utf-8">
<title>Auberge du Cheval-Blanc – Annuaire Alpin</title>
<link rel="stylesheet" href="/pagesjaunes/style.css">
</head>
<body>
<header class="site"><a class="logo" href="/pagesjaunes/index.aspx">Annuaire <span>Alpin</span></a></header>
<main>
<p class="crumbs"><a href="/pagesjaunes/index.aspx">Accueil</a> › <a href="/pagesjaunes/resultats.aspx">Résultats</a></p>
<div class="vcard">
<h1 class="n fn">Auberge du Cheval-Blanc</h1>
<p class="trade">Auberge</p>
<div class="adr"><span class="street-address">Route Principale 22</span><br>
<span class="postal-code">2900</span> <span class="locality">Porrentruy</span></div>
<table class="contact">
<tr><td><span class="tel">Téléphone: 032 466 11 22</span></td></tr>
<tr><td><span class="fax">Fax: 032 466 11 23</span></td></tr>
<tr><td class="url">Site web: <a href="http://www.cheval-blanc-ajoie.ch" target="_blank">www.cheval-blanc-ajoie.ch</a></td></tr>
<tr><td class="email">E-mail : <a href="mailto:reservation@cheval-blanc-ajoie.ch">reservation@cheval-blanc-ajoie.ch</a></td></tr>
</table>
</div>
</main>
<footer class="site">Annuaire Alpin · Service clientèle : <a href="mailto:service.clients@annuaire.example">service.clients@annuaire.example</a> · Données fictives de démonstration</footer>
</body>
</html>
