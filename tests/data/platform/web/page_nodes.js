// Nodes of a page as the front-end's editor code walks them, for the front-end tests: element(name,
// ...children) and the shorthands div, p, span, br and joined (a div laid out inline); a string
// child is a text node, comment(text) a comment. Each node has nodeType, nodeName, data (text and
// comments), firstChild, nextSibling, parentNode and the classList's contains.
(function (global) {
  "use strict";

  function node(nodeType, nodeName, data, children) {
    const made = { nodeType, nodeName, data, firstChild: null, nextSibling: null, parentNode: null, className: "" };
    made.classList = { contains: (name) => made.className.split(" ").includes(name) };
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
  // A div the editor lays out inline, in one flow of lines with its neighbours.
  global.joined = (...children) => Object.assign(global.div(...children), { className: "joined" });
  global.comment = (text) => node(8, "#comment", text, []);
})(window);
