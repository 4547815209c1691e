<!DOCTYPE html>
<html lang="fr">
<head>
<meta charset="utf-8">
<title>Café L'Ours SA – Annuaire Alpin</title>
<link rel="stylesheet" href="/pagesjaunes/style.css">
</head>
<body>
<header class="site"><a class="logo" href="/pagesjaunes/index.aspx">Annuaire <span>Alpin</span></a></header>
<main>
<p class="crumbs"><a href="/pagesjaunes/index.aspx">Accueil</a> › <a href="/pagesjaunes/resultats.aspx">Résultats</a></p>
<div class="vcard">
<h1 class="n fn">Café L'Ours SA</h1>
<p class="trade">Café, restaurant</p>
<div class="adr"><span class="street-address">Grand-Rue 5</span><br>
<span class="postal-code">1700</span> <span class="locality">Fribourg</span></div>
<table class="contact">
<tr><td><span class="tel">Téléphone: 026 322 10 20</span></td></tr>
<tr><td class="email">E-mail : <a href="mailto:contact@cafe-ours.ch">contact@cafe-ours.ch</a></td></tr>
</table>
</div>
</main>
<footer class="site">Annuaire Alpin · Service clientèle : <a href="mailto:service.clients@annuaire.example">service.clients@annuaire.example</a> · Données fictives de démonstration</footer>
</body>
</html>
