<!DOCTYPE html>
<html lang="fr">
<head>
<meta charset="utf-8">
<title>Épicerie du Château – Annuaire Alpin</title>
<link rel="stylesheet" href="/pagesjaunes/style.css">
</head>
<body>
<header class="site"><a class="logo" href="/pagesjaunes/index.aspx">Annuaire <span>Alpin</span></a></header>
<main>
<p class="crumbs"><a href="/pagesjaunes/index.aspx">Accueil</a> › <a href="/pagesjaunes/resultats.aspx">Résultats</a></p>
<div class="vcard">
<h1 class="n fn">Épicerie du Château</h1>
<p class="trade">Épicerie fine</p>
<div class="adr"><span class="street-address">Route de l'Église 2</span><br>
<span class="postal-code">1660</span> <span class="locality">Château-d'Œx</span></div>
<table class="contact">
<tr><td><span class="tel">Téléphone: 026 924 61 00</span></td></tr>
</table>
</div>
</main>
<footer class="site">Annuaire Alpin · Service clientèle : <a href="mailto:service.clients@annuaire.example">service.clients@annuaire.example</a> · Données fictives de démonstration</footer>
</body>
</html>
