// The page side of the harvest browsers. Run in the page's isolated world:
// the page's own scripts can neither see nor change these functions. Each
// call from the program sends this file followed by one call of it.
var vantrelisPage = {
  // The document's type and the body's serialized HTML:
  // [contentType, 'body', outerHTML], or [contentType, 'none'].
  readBody: function () {
    var body = document.body;
    var type = String(document.contentType || '');
    return body ? [type, 'body', body.outerHTML] : [type, 'none'];
  },

  // The innerHTML of every link of the document, in document order.
  linkInnerHtmls: function () {
    return Array.prototype.map.call(document.links, function (a) { return String(a.innerHTML); });
  },

  // Clicks document.links[i] for each index, in order, in one go: no event
  // is handled between the clicks, so every click lands on the links of the
  // page they were chosen on. Answers how many links were clicked and the
  // address the last click that navigates this same page will load ('' when
  // none does: same-page anchors, scripts, new windows, downloads, other
  // protocols, clicks a page handler cancelled).
  clickLinks: function (indices) {
    var links = Array.prototype.slice.call(document.links);
    var here = String(location.href).split('#')[0];
    var base = document.querySelector('base[target]');
    var baseTarget = base ? base.getAttribute('target') : '';
    var result = { clicked: 0, missing: 0, target: '', uncertain: false };
    indices.forEach(function (i) {
      var a = links[i];
      if (!a) { result.missing++; return; }
      var seen = null;
      var spy = function (e) { if (!seen) seen = e; };
      window.addEventListener('click', spy, true);
      try { a.click(); } finally { window.removeEventListener('click', spy, true); }
      result.clicked++;
      if (seen && seen.defaultPrevented) { result.uncertain = true; return; }
      var href = a.href;
      if (typeof href !== 'string' || href === '') return;
      var protocol = String(a.protocol).toLowerCase();
      if (protocol === 'javascript:') { result.uncertain = true; return; }
      var target = (a.hasAttribute('target') ? a.getAttribute('target') : baseTarget) || '';
      target = target.toLowerCase();
      if (target !== '' && target !== '_self' && target !== '_top' && target !== '_parent') return;
      if (a.hasAttribute('download')) return;
      if (protocol !== 'http:' && protocol !== 'https:') return;
      if (href.indexOf('#') >= 0 && href.split('#')[0] === here) return;
      result.target = href;
    });
    return result;
  }
};
