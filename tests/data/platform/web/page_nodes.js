// Nodes of a page as the front-end's editor code walks them, for the front-end tests: element(name,
// ...children) and the shorthands div, p, span and br; a string child is a text node, comment(text)
// a comment. Each node has nodeType, nodeName, data (text and comments), firstChild, nextSibling
// and parentNode.
(function (global) {
  "use strict";

  function node(nodeType, nodeName, data, children) {
    const made = { nodeType, nodeName, data, firstChild: null, nextSibling: null, parentNode: null };
    const kids = children.map((child) => (typeof child === "string" ? node(3, "#text", child, []) : child));
    kids.forEach((child, i) => {
      child.parentNode = made;
      child.nextSibling = kids[i + 1] || null;
    });
    made.firstChild = kids[0] || null;
    return made;
  }

  global.element = (name, ...children) => node(1, name, undefined, children);
  global.div = (...children) => global.element("DIV", ...children);
  global.p = (...children) => global.element("P", ...children);
  global.span = (...children) => global.element("SPAN", ...children);
  global.br = () => global.element("BR");
  global.comment = (text) => node(8, "#comment", text, []);
})(window);
