<!DOCTYPE html>
<html lang="fr">
<head>
<meta charset="utf-8">
<title>Salone di Bellezza Rita – Annuaire Alpin</title>
<link rel="stylesheet" href="/pagesjaunes/style.css">
</head>
<body>
<header class="site"><a class="logo" href="/pagesjaunes/index.aspx">Annuaire <span>Alpin</span></a></header>
<main>
<p class="crumbs"><a href="/pagesjaunes/index.aspx">Accueil</a> › <a href="/pagesjaunes/resultats.aspx">Résultats</a></p>
<div class="vcard">
<h1 class="n fn">Salone di Bellezza Rita</h1>
<p class="trade">Parrucchiere</p>
<div class="adr"><span class="street-address">Corso San Gottardo 12</span><br>
<span class="postal-code">6830</span> <span class="locality">Chiasso</span></div>
<table class="contact">
<tr><td><span class="tel">Phone: 091 683 45 67</span></td></tr>
<tr><td class="url">Site web: <a href="http://www.salone-rita.ch" target="_blank">www.salone-rita.ch</a></td></tr>
<tr><td class="email">E-mail : <a href="mailto:rita@salone-rita.ch">rita@salone-rita.ch</a></td></tr>
</table>
</div>
</main>
<footer class="site">Annuaire Alpin · Service clientèle : <a href="mailto:service.clients@annuaire.example">service.clients@annuaire.example</a> · Données fictives de démonstration</footer>
</body>
</html>
