<!DOCTYPE html>
<html lang="fr">
<head>
<meta charset="utf-8">
<title>Pharmacie de la Gare – Annuaire Alpin</title>
<link rel="stylesheet" href="/pagesjaunes/style.css">
</head>
<body>
<header class="site"><a class="logo" href="/pagesjaunes/index.aspx">Annuaire <span>Alpin</span></a></header>
<main>
<p class="crumbs"><a href="/pagesjaunes/index.aspx">Accueil</a> › <a href="/pagesjaunes/resultats.aspx">Résultats</a></p>
<div class="vcard">
<h1 class="n fn">Pharmacie de la Gare</h1>
<p class="trade">Pharmacie</p>
<div class="adr"><span class="street-address">Place de la Gare 1</span><br>
<span class="postal-code">1400</span> <span class="locality">Yverdon-les-Bains</span></div>
<table class="contact">
<tr><td><span class="tel">Téléphone: 024 425 10 10</span></td></tr>
<tr><td><span class="fax">Fax: 024 425 10 11</span></td></tr>
<tr><td class="email">E-mail : <a href="mailto:pharmacie.gare@pharma-yverdon.ch">pharmacie.gare@pharma-yverdon.ch</a></td></tr>
</table>
</div>
</main>
<footer class="site">Annuaire Alpin · Service clientèle : <a href="mailto:service.clients@annuaire.example">service.clients@annuaire.example</a> · Données fictives de démonstration</footer>
</body>
</html>
