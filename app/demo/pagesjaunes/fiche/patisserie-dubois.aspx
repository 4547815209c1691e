<!DOCTYPE html>
<html lang="fr">
<head>
<meta charset="utf-8">
<title>Pâtisserie Élise Dubois – Annuaire Alpin</title>
<link rel="stylesheet" href="/pagesjaunes/style.css">
</head>
<body>
<header class="site"><a class="logo" href="/pagesjaunes/index.aspx">Annuaire <span>Alpin</span></a></header>
<main>
<p class="crumbs"><a href="/pagesjaunes/index.aspx">Accueil</a> › <a href="/pagesjaunes/resultats.aspx">Résultats</a></p>
<div class="vcard">
<h1 class="n fn">Pâtisserie Élise Dubois</h1>
<p class="trade">Pâtisserie, confiserie</p>
<div class="adr"><span class="street-address">Avenue de la Gare 3</span><br>
<span class="postal-code">1950</span> <span class="locality">Sion</span></div>
<table class="contact">
<tr><td><span class="tel">Téléphone: 027 321 55 66</span></td></tr>
<tr><td><span class="fax">Fax: 027 321 55 67</span></td></tr>
<tr><td class="url">Site web: <a href="http://www.patisserie-dubois.ch" target="_blank">www.patisserie-dubois.ch</a></td></tr>
</table>
</div>
</main>
<footer class="site">Annuaire Alpin · Service clientèle : <a href="mailto:service.clients@annuaire.example">service.clients@annuaire.example</a> · Données fictives de démonstration</footer>
</body>
</html>
