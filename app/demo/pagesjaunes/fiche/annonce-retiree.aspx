<!DOCTYPE html>
<html lang="fr">
<head>
<meta charset="utf-8">
<title>Fiche retirée – Annuaire Alpin</title>
<link rel="stylesheet" href="/pagesjaunes/style.css">
</head>
<body>
<header class="site"><a class="logo" href="/pagesjaunes/index.aspx">Annuaire <span>Alpin</span></a></header>
<main>
<p class="crumbs"><a href="/pagesjaunes/index.aspx">Accueil</a> › <a href="/pagesjaunes/resultats.aspx">Résultats</a></p>
<div class="vcard">
<h1 class="n fn">   </h1>
<p>Cette entreprise a retiré son inscription de l’annuaire.</p>
</div>
</main>
<footer class="site">Annuaire Alpin · Service clientèle : <a href="mailto:service.clients@annuaire.example">service.clients@annuaire.example</a> · Données fictives de démonstration</footer>
</body>
</html>
