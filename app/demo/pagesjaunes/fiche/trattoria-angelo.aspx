<!DOCTYPE html>
<html lang="fr">
<head>
<meta charset="utf-8">
<title>Trattoria dell'Angelo – Annuaire Alpin</title>
<link rel="stylesheet" href="/pagesjaunes/style.css">
</head>
<body>
<header class="site"><a class="logo" href="/pagesjaunes/index.aspx">Annuaire <span>Alpin</span></a></header>
<main>
<p class="crumbs"><a href="/pagesjaunes/index.aspx">Accueil</a> › <a href="/pagesjaunes/resultats.aspx">Résultats</a></p>
<div class="vcard">
<h1 class="n fn">Trattoria dell'Angelo</h1>
<p class="trade">Ristorante</p>
<div class="adr"><span class="street-address">Via Nassa 21</span><br>
<span class="postal-code">6900</span> <span class="locality">Lugano</span></div>
<table class="contact">
<tr><td><span class="tel">Phone: +41 91 922 33 44</span></td></tr>
<tr><td><span class="fax">Fax: 091 922 33 45</span></td></tr>
<tr><td class="url">Site web: <a href="http://www.trattoria-angelo.ch" target="_blank">www.trattoria-angelo.ch</a></td></tr>
<tr><td class="email">E-mail : <a href="mailto:prenotazioni@trattoria-angelo.ch">prenotazioni@trattoria-angelo.ch</a></td></tr>
<tr><td class="email">E-mail : <a href="mailto:info@trattoria-angelo.ch">info@trattoria-angelo.ch</a></td></tr>
</table>
</div>
</main>
<footer class="site">Annuaire Alpin · Service clientèle : <a href="mailto:service.clients@annuaire.example">service.clients@annuaire.example</a> · Données fictives de démonstration</footer>
</body>
</html>
