// The editor's page: toolbar, editor, message bars and status line over VostraDocument and
// window.vexa. Every failure is shown with its code and message; nothing is lost silently.
(function () {
  "use strict";

  const Doc = window.VostraDocument;
  const vexa = window.vexa;
  const byId = (id) => document.getElementById(id);
  const editor = byId("editor");
  const buttons = ["new-button", "open-button", "save-button", "save-as-button"].map(byId);

  const state = { path: null, savedText: "", busy: false };

  function isEdited() {
    return editor.value !== state.savedText;
  }

  function documentName() {
    return state.path ? Doc.fileName(state.path) : "Untitled";
  }

  function refresh() {
    const edited = isEdited();
    byId("document-name").textContent = documentName();
    byId("edited-mark").hidden = !edited;
    document.title = `${documentName()}${edited ? " (edited)" : ""} — Vostra Studio`;
    byId("status-path").textContent = state.path || "";
    const text = editor.value;
    const words = text.trim() ? text.trim().split(/\s+/u).length : 0;
    const characters = Array.from(text).length;
    byId("status-count").textContent =
      `${words} ${words === 1 ? "word" : "words"} · ${characters} ${characters === 1 ? "character" : "characters"}`;
  }

  function setStatus(text) {
    byId("status-text").textContent = text;
  }

  function showError(action, error) {
    const { code, message } = Doc.describeError(error);
    byId("error-action").textContent = `${action} failed`;
    byId("error-code").textContent = code;
    byId("error-message").textContent = message;
    byId("error-bar").hidden = false;
    setStatus(`${action} failed: ${code}`);
  }

  function hideError() {
    byId("error-bar").hidden = true;
  }

  // Asks before unsaved text is replaced; answers whether to go on.
  function confirmDiscard(purpose) {
    if (!isEdited()) return Promise.resolve(true);
    const bar = byId("confirm-bar");
    byId("confirm-text").textContent = `“${documentName()}” has unsaved changes. Discard them to ${purpose}?`;
    bar.hidden = false;
    return new Promise((resolve) => {
      const answer = (value) => () => {
        bar.hidden = true;
        byId("confirm-discard").onclick = null;
        byId("confirm-cancel").onclick = null;
        editor.focus();
        resolve(value);
      };
      byId("confirm-discard").onclick = answer(true);
      byId("confirm-cancel").onclick = answer(false);
      byId("confirm-cancel").focus();
    });
  }

  // Runs one command at a time with the toolbar disabled; a failure goes to the error bar.
  async function run(action, work) {
    if (state.busy) {
      setStatus(`${action} waits: another command is still running`);
      return;
    }
    hideError();
    if (!vexa) {
      showError(action, new Doc.DocumentError("bridge_unavailable", "This page is not running inside Vostra Studio"));
      return;
    }
    state.busy = true;
    buttons.forEach((button) => (button.disabled = true));
    try {
      await work();
    } catch (error) {
      showError(action, error);
    } finally {
      state.busy = false;
      buttons.forEach((button) => (button.disabled = false));
      refresh();
    }
  }

  function load(path, text) {
    editor.value = text;
    state.path = path;
    state.savedText = text;
    editor.setSelectionRange(0, 0);
    editor.scrollTop = 0;
    hideError();
  }

  async function openPath(path) {
    if (!(await confirmDiscard(`open “${Doc.fileName(path)}”`))) return;
    setStatus(`Opening ${Doc.fileName(path)}…`);
    const text = await Doc.readDocument(vexa, path);
    load(path, text);
    setStatus(`Opened ${Doc.fileName(path)}`);
  }

  async function saveTo(path) {
    const text = editor.value;
    setStatus(`Saving ${Doc.fileName(path)}…`);
    const bytes = await Doc.saveDocument(vexa, path, text);
    state.path = path;
    state.savedText = text;
    hideError();
    setStatus(`Saved ${Doc.fileName(path)} (${bytes} ${bytes === 1 ? "byte" : "bytes"})`);
  }

  async function saveAs() {
    const chosen = await vexa.dialogs.saveFile({
      title: "Save Document",
      defaultPath: state.path ? Doc.folderOf(state.path) : undefined,
      defaultName: state.path ? Doc.withDocumentExtension(Doc.fileName(state.path)) : "Untitled.vrs",
    });
    if (typeof chosen !== "string" || chosen.length === 0) {
      setStatus("Save cancelled");
      return;
    }
    await saveTo(Doc.withDocumentExtension(chosen));
  }

  const actions = {
    newDocument: () =>
      run("New", async () => {
        if (!(await confirmDiscard("start a new document"))) return;
        load(null, "");
        setStatus("New document");
        editor.focus();
      }),
    open: () =>
      run("Open", async () => {
        const chosen = await vexa.dialogs.openFile({
          title: "Open Document",
          defaultPath: state.path ? Doc.folderOf(state.path) : undefined,
          allowMultiple: false,
        });
        if (!Array.isArray(chosen) || chosen.length === 0) {
          setStatus("Open cancelled");
          return;
        }
        await openPath(chosen[0]);
      }),
    // A document whose name ends in ".VRS" (or another case) cannot be written back under that
    // name: Save asks where to put it, offering the name with ".vrs".
    save: () => run("Save", () => (Doc.savesInPlace(state.path) ? saveTo(state.path) : saveAs())),
    saveAs: () => run("Save As", saveAs),
    openDropped: (paths) =>
      run("Open", async () => {
        const path = (paths || []).find(Doc.isDocumentPath);
        if (!path) throw new Doc.DocumentError("not_a_document", "Only .vrs documents can be opened here");
        await openPath(path);
      }),
    openLink: (url) =>
      run("Open link", async () => {
        await vexa.invoke("vostra.url.open", url);
        setStatus(`Opened ${url} in the browser`);
      }),
  };

  byId("new-button").addEventListener("click", actions.newDocument);
  byId("open-button").addEventListener("click", actions.open);
  byId("save-button").addEventListener("click", actions.save);
  byId("save-as-button").addEventListener("click", actions.saveAs);
  byId("error-dismiss").addEventListener("click", hideError);
  byId("website-link").addEventListener("click", (event) => {
    event.preventDefault();
    actions.openLink(event.currentTarget.href);
  });
  // Counting a long document on every key is wasted work: once per frame is enough.
  let refreshPending = false;
  editor.addEventListener("input", () => {
    if (refreshPending) return;
    refreshPending = true;
    requestAnimationFrame(() => {
      refreshPending = false;
      refresh();
    });
  });

  document.addEventListener("keydown", (event) => {
    if (!event.ctrlKey || event.altKey || event.metaKey) return;
    const key = event.key.toLowerCase();
    const action =
      key === "n" ? actions.newDocument
      : key === "o" ? actions.open
      : key === "s" ? (event.shiftKey ? actions.saveAs : actions.save)
      : null;
    if (!action) return;
    event.preventDefault();
    action();
  });

  // The host hands dropped files to the application ("drop:files"); the page only shows where
  // they may land and keeps the web view from opening them itself.
  const overlay = byId("drop-overlay");
  let dragDepth = 0;
  window.addEventListener("dragenter", (event) => {
    event.preventDefault();
    dragDepth++;
    overlay.hidden = false;
  });
  window.addEventListener("dragover", (event) => event.preventDefault());
  window.addEventListener("dragleave", () => {
    dragDepth = Math.max(0, dragDepth - 1);
    if (dragDepth === 0) overlay.hidden = true;
  });
  window.addEventListener("drop", (event) => {
    event.preventDefault();
    dragDepth = 0;
    overlay.hidden = true;
  });

  if (vexa) {
    vexa.on("drop:files", (detail) => {
      overlay.hidden = true;
      actions.openDropped(detail && detail.paths);
    });
  } else {
    showError("Start", new Doc.DocumentError("bridge_unavailable", "This page is not running inside Vostra Studio"));
  }

  refresh();
  editor.focus();
})();
