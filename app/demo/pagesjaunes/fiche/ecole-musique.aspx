<!DOCTYPE html>
<html lang="fr">
<head>
<meta charset="utf-8">
<title>École de Musique « Do Ré Mi » – Annuaire Alpin</title>
<link rel="stylesheet" href="/pagesjaunes/style.css">
</head>
<body>
<header class="site"><a class="logo" href="/pagesjaunes/index.aspx">Annuaire <span>Alpin</span></a></header>
<main>
<p class="crumbs"><a href="/pagesjaunes/index.aspx">Accueil</a> › <a href="/pagesjaunes/resultats.aspx">Résultats</a></p>
<div class="vcard">
<h1 class="n fn">École de Musique « Do Ré Mi »</h1>
<p class="trade">École de musique</p>
<div class="adr"><span class="street-address">Rue des Alpes 18</span><br>
<span class="postal-code">1700</span> <span class="locality">Fribourg</span></div>
<table class="contact">
<tr><td><span class="tel">Téléphone: 026 323 40 50</span></td></tr>
<tr><td class="email">E-mail : <a href="mailto:secretariat@doremi-ecole.ch">secretariat@doremi-ecole.ch</a></td></tr>
</table>
</div>
</main>
<footer class="site">Annuaire Alpin · Service clientèle : <a href="mailto:service.clients@annuaire.example">service.clients@annuaire.example</a> · Données fictives de démonstration</footer>
</body>
</html>
