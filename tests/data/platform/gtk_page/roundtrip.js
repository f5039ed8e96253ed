// Drives the bridge from inside a real page and leaves its findings in window.__results (a JSON
// list of failures) for the test to read; window.__state tells the test when to resize the window.
(async function () {
  "use strict";
  const failures = [];
  const check = (name, ok, detail) => {
    if (!ok) failures.push(detail === undefined ? name : `${name}: ${detail}`);
  };
  const resizes = [];
  window.addEventListener("kelvo:resize", (event) => resizes.push(event.detail));

  async function refused(url) {
    try {
      const response = await fetch(url);
      return `served ${response.status} ${(await response.text()).slice(0, 40)}`;
    } catch (error) {
      return "refused";
    }
  }

  function intrude(path) {
    const message = JSON.stringify({ id: "1", command: "vostra.file.begin", payload: path });
    window.webkit.messageHandlers.kelvoBridge.postMessage(message);
    const same = document.createElement("iframe");
    same.src = "frame.html?" + encodeURIComponent(path + ".same.vrs");
    document.body.appendChild(same);
    const sandboxed = document.createElement("iframe");
    sandboxed.setAttribute("sandbox", "allow-scripts");
    sandboxed.srcdoc = "<script>window.webkit.messageHandlers.kelvoBridge.postMessage(" +
      JSON.stringify(JSON.stringify({ id: "1", command: "vostra.file.begin", payload: path + ".sandboxed.vrs" })) +
      ")<\/script>";
    document.body.appendChild(sandboxed);
  }

  try {
    const config = await (await fetch("config.json")).json();
    intrude(config.intruder);

    // A document of several appends, saved and read back through the front-end's own code.
    const line = "Vostra Studio — round trip ✓ ünïcødé 𝄞 line\n";
    const text = line.repeat(Math.ceil(200000 / line.length));
    const written = await VostraDocument.saveDocument(window.vexa, config.document, text, VostraDocument.newForm());
    check("bytes written", written === new TextEncoder().encode(text).length, written);
    const read = Array.from((await VostraDocument.readDocument(window.vexa, config.document)).pieces).join("");
    check("document read back", read === text, `${read.length} of ${text.length} characters`);

    try {
      await window.vexa.invoke("vostra.file.append", "QUJD");
      check("append without a save", false, "resolved");
    } catch (error) {
      check("error code", error.code === "handler_failed", error.code);
      check("error message", error.message === "NoOpenFile", error.message);
    }

    const index = await (await fetch("index.html")).text();
    const route = await fetch("documents/42");
    check("route served", (await route.text()) === index);
    for (const url of ["%252e%252e/secret.txt", "vexa://app/%252e%252e%252fsecret.txt", "index.html%00.png",
                       "leak.txt", "sub/..%5Csecret.txt"]) {
      check(`fetch ${url}`, (await refused(url)) === "refused", await refused(url));
    }
    // The URL parser folds a plain "%2e%2e" before the request: it never reaches the secret.
    const folded = await refused("vexa://app/%2e%2e/secret.txt");
    check("fetch %2e%2e", !folded.includes(config.secret), folded);

    window.__state = "resize-wanted";
    const deadline = Date.now() + 5000;
    while (!resizes.some((detail) => detail.width === config.resizeWidth) && Date.now() < deadline) {
      await new Promise((resolve) => setTimeout(resolve, 20));
    }
    check("kelvo:resize", resizes.some((detail) => detail.width === config.resizeWidth), JSON.stringify(resizes));
  } catch (error) {
    failures.push(`${error.code || error.name}: ${error.message}`);
  }
  window.__results = JSON.stringify(failures);
})();
