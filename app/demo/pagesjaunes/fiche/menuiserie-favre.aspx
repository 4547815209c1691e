<!DOCTYPE html>
<html lang="fr">
<head>
<meta charset="utf-8">
<title>Menuiserie Favre &amp; Fils – Annuaire Alpin</title>
<link rel="stylesheet" href="/pagesjaunes/style.css">
</head>
<body>
<header class="site"><a class="logo" href="/pagesjaunes/index.aspx">Annuaire <span>Alpin</span></a></header>
<main>
<p class="crumbs"><a href="/pagesjaunes/index.aspx">Accueil</a> › <a href="/pagesjaunes/resultats.aspx">Résultats</a></p>
<div class="vcard">
<h1 class="n fn">Menuiserie Favre &amp; Fils</h1>
<p class="trade">Menuiserie</p>
<div class="adr"><span class="street-address">Chemin des Artisans 14</span><br>
<span class="postal-code">1260</span> <span class="locality">Nyon</span></div>
<table class="contact">
<tr><td><span class="tel">Téléphone: 022 361 20 20</span></td></tr>
<tr><td><span class="fax">Fax: 022 361 20 21</span></td></tr>
<tr><td class="url">Site web: <a href="http://www.favre-menuiserie.ch" target="_blank">www.favre-menuiserie.ch</a></td></tr>
<tr><td class="email">E-mail : <a href="mailto:atelier@favre-menuiserie.ch">atelier@favre-menuiserie.ch</a></td></tr>
</table>
</div>
</main>
<footer class="site">Annuaire Alpin · Service clientèle : <a href="mailto:service.clients@annuaire.example">service.clients@annuaire.example</a> · Données fictives de démonstration</footer>
</body>
</html>
