<!DOCTYPE html>
<html lang="fr">
<head>
<meta charset="utf-8">
<title>Annuaire Alpin – recherche d'entreprises</title>
<link rel="stylesheet" href="/pagesjaunes/style.css">
</head>
<body>
<header class="site"><a class="logo" href="/pagesjaunes/index.aspx">Annuaire <span>Alpin</span></a></header>
<main>
<h2>Trouver une entreprise en Suisse</h2>
<p>Annuaire de démonstration : toutes les entreprises, adresses et numéros sont fictifs.</p>
<form class="search" method="get" action="/pagesjaunes/resultats.aspx">
<label>Quoi ? <input type="text" name="quoi" value="boulangerie" placeholder="métier, nom…"></label>
<label>Où ? <input type="text" name="ou" value="Suisse romande" placeholder="localité, NPA…"></label>
<button type="submit">Rechercher</button>
</form>
</main>
<footer class="site">Annuaire Alpin · Service clientèle : <a href="mailto:service.clients@annuaire.example">service.clients@annuaire.example</a></footer>
</body>
</html>
