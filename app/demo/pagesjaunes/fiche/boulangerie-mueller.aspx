<!DOCTYPE html>
<html lang="fr">
<head>
<meta charset="utf-8">
<title>Boulangerie Müller &amp; Fils – Annuaire Alpin</title>
<link rel="stylesheet" href="/pagesjaunes/style.css">
</head>
<body>
<header class="site"><a class="logo" href="/pagesjaunes/index.aspx">Annuaire <span>Alpin</span></a></header>
<main>
<p class="crumbs"><a href="/pagesjaunes/index.aspx">Accueil</a> › <a href="/pagesjaunes/resultats.aspx">Résultats</a></p>
<div class="vcard">
<h1 class="n fn">Boulangerie Müller &amp; Fils</h1>
<p class="trade">Boulangerie, pâtisserie</p>
<div class="adr"><span class="street-address">Rue de Bourg 12</span><br>
<span class="postal-code">1003</span> <span class="locality">Lausanne</span></div>
<table class="contact">
<tr><td><span class="tel">Téléphone: 021 312 45 67</span></td></tr>
<tr><td><span class="fax">Fax: 021 312 45 68</span></td></tr>
<tr><td class="url">Site web: <a href="http://www.boulangerie-mueller.ch" target="_blank">www.boulangerie-mueller.ch</a></td></tr>
<tr><td class="email">E-mail : <a href="mailto:info@boulangerie-mueller.ch">info@boulangerie-mueller.ch</a></td></tr>
</table>
</div>
</main>
<footer class="site">Annuaire Alpin · Service clientèle : <a href="mailto:service.clients@annuaire.example">service.clients@annuaire.example</a> · Données fictives de démonstration</footer>
</body>
</html>
