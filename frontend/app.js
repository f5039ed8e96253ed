// The editor's page: toolbar, editor, message bars and status line over VostraDocument and
// window.vexa. Every failure is shown as a sentence with its code; nothing is lost silently:
// replacing unsaved text, replacing another document and writing "�" for bytes that were not
// UTF-8 are asked first, and so is leaving the page while the text is edited.
(function () {
  "use strict";

  const Doc = window.VostraDocument;
  const Text = window.VostraEditorText;
  const vexa = window.vexa;
  const byId = (id) => document.getElementById(id);
  const editor = byId("editor");
  // Keys typed while the editor cannot take them are held and played later (playKey, below);
  // attached first, so that it sees every key before anything else does.
  const heldKeys = window.VostraHeldKeys.attach(window, {
    play: (key) => playKey(key),
    // A copy or a cut counts from its key, not from when it is played: the clipboard is marked now.
    note: (key, typedAt) => (copyKey(key) ? clipboard.mark(typedAt) : undefined),
    idle: () => editor.removeAttribute("aria-busy"),
    answers: (event) =>
      questionShownAt !== null &&
      heldKeys.typedAt(event) >= questionShownAt &&
      !byId("confirm-bar").hidden &&
      byId("confirm-bar").contains(event.target),
  });
  const layout = window.VostraEditorLayout.attach(editor);
  const edit = window.VostraEditorEdit.attach(editor, layout, { newGroup, metrics: () => editorMetrics() });
  const history = window.VostraEditorHistory.attach(editor, {
    selection: () => {
      const selection = getSelection();
      if (selection.rangeCount === 0 || !editor.contains(selection.anchorNode)) return null;
      return [selection.anchorNode, selection.anchorOffset, selection.focusNode, selection.focusOffset];
    },
    restore: (selection) => {
      layout.resync();
      if (selection !== null && selection.every((part) => typeof part === "number" || editor.contains(part))) {
        layout.select(...selection);
      }
      layout.followSelection();
    },
  });
  const placeholder = byId("placeholder");
  const buttons = ["new-button", "open-button", "save-button", "save-as-button"].map(byId);
  const toolbar = document.querySelector(".toolbar");

  // `form` is what the file held beside the text (see VostraDocument.readForm). The saved text is
  // kept as the bytes the file holds (see VostraDocument.textOfBytes; a list of pieces for a new
  // document): strings of it would outlive the document, until the page's collector comes round to
  // them. `edited` is set at every change (`changes` counts them) and cleared again when the text
  // the editor shows is found to be the saved text once more (after an undo, say): that comparison
  // and the counts wait for the next frame, or for a pause in typing in a long document. `changed`
  // tells whether there was a change since the text was last known to be the saved text.
  // `shown` counts the documents shown.
  const state = {
    path: null,
    saved: [],
    savedLength: 0,
    form: Doc.newForm(),
    edited: false,
    changed: false,
    changes: 0,
    shown: 0,
    busy: false,
  };

  // A document longer than this is compared and counted only when typing pauses.
  const LONG_TEXT = 256 * 1024;
  const PAUSE_MS = 400;
  // The longest a long read or save goes without letting the page paint.
  const PAINT_INTERVAL_MS = 100;
  // The longest the editor spends laying out blocks of a document before the page paints.
  const BUILD_SLICE_MS = 40;
  // How long after a dialog closed the editor's selection is given back should the web view drop it.
  const KEPT_AFTER_DIALOG_MS = 1000;

  function documentName() {
    return state.path ? Doc.shownName(state.path) : "Untitled";
  }

  // The name, the edited mark, and what a save writes, which may change with the first edit.
  function showEdited() {
    byId("document-name").textContent = documentName();
    byId("edited-mark").hidden = !state.edited;
    document.title = `${documentName()}${state.edited ? " (edited)" : ""} — Vostra Studio`;
    byId("status-encoding").textContent = Doc.formLabel(state.form, state.edited);
  }

  // Everything the page shows of the document. The counts count again only the runs of text that
  // changed since the last count; the text is compared with the saved text only when there was a
  // change and its length is the same.
  let counted = null;
  function refresh() {
    const runs = Text.runsOf(editor);
    counted = Text.countRuns(runs, Doc.countText, counted);
    if (state.changed) {
      state.edited = counted.length !== state.savedLength || !Doc.sameText(Text.piecesOf(runs), state.saved);
      state.changed = state.edited;
    }
    placeholder.hidden = counted.length > 0;
    showEdited();
    byId("status-path").textContent = state.path ? Doc.shownPath(state.path) : "";
    const { words, characters } = counted;
    byId("status-count").textContent =
      `${words.toLocaleString()} ${words === 1 ? "word" : "words"} · ` +
      `${characters.toLocaleString()} ${characters === 1 ? "character" : "characters"}`;
  }

  function setStatus(text) {
    byId("status-text").textContent = text;
  }

  // The status line and the error bar tell what failed in a sentence, with the code after it. A
  // command's failure shows until the next command begins. A paste's failure stays until it is
  // dismissed or the next paste ends, whatever runs after it: the keys typed behind a paste run
  // at once after it, and the user would never see it go. `pasteFailure` is the status line it
  // wrote while its error bar shows.
  let pasteFailure = null;
  function showError(action, error) {
    const { sentence, code } = Doc.describeError(error);
    byId("error-action").textContent = `${action} failed`;
    byId("error-code").textContent = code;
    byId("error-message").textContent = sentence;
    byId("error-bar").hidden = false;
    const status = `${action} failed: ${sentence} (${code})`;
    setStatus(status);
    pasteFailure = action === "Paste" ? status : null;
  }

  // Hides a command's failure (not a paste's, see showError).
  function hideError() {
    if (pasteFailure === null) dismissError();
  }

  function dismissError() {
    byId("error-bar").hidden = true;
    pasteFailure = null;
  }

  // A paste that ended well takes back an earlier paste's failure, and its status line.
  function clearPasteFailure() {
    if (pasteFailure === null) return;
    if (byId("status-text").textContent === pasteFailure) setStatus("Pasted");
    dismissError();
  }

  // A notice about the document shown, until it is dismissed or another document is shown.
  function showNotice(text) {
    byId("notice-text").textContent = text;
    byId("notice-bar").hidden = !text;
  }

  // Asks a question in the message bar; answers whether the user chose to go on. Every command that
  // asks holds the keys typed meanwhile (see run); the question takes those typed once it shows
  // (painted on the screen at `questionShownAt`, by the page's clock; the bar is marked
  // "data-takes-keys" then), judged by when each key was typed, not when it reaches the page (the
  // web view hands the page one key at a time, and a busy page gets keys late): one typed before
  // goes to the document once the command has ended, with the command's other keys.
  let questionShownAt = null;
  let questionsAsked = 0;
  function ask(question, goOn) {
    const bar = byId("confirm-bar");
    const yes = byId("confirm-yes");
    const no = byId("confirm-no");
    byId("confirm-text").textContent = question;
    yes.textContent = goOn;
    bar.hidden = false;
    questionShownAt = null;
    const asked = ++questionsAsked;
    onScreen().then(() => {
      if (asked !== questionsAsked || bar.hidden) return;
      questionShownAt = performance.now();
      bar.setAttribute("data-takes-keys", "");
    });
    return new Promise((resolve) => {
      const answer = (value) => () => {
        bar.hidden = true;
        questionShownAt = null;
        bar.removeAttribute("data-takes-keys");
        yes.onclick = null;
        no.onclick = null;
        editor.focus();
        resolve(value);
      };
      yes.onclick = answer(true);
      no.onclick = answer(false);
      focusAway(no);
    });
  }

  function confirmDiscard(purpose) {
    if (!state.edited) return Promise.resolve(true);
    return ask(`“${documentName()}” has unsaved changes. Discard them to ${purpose}?`, "Discard Changes");
  }

  // Resolves once the page has painted what changed (or after a tenth of a second, as a page
  // that is not shown paints nothing).
  function afterPaint() {
    return new Promise((resolve) => {
      const late = setTimeout(resolve, 100);
      requestAnimationFrame(() =>
        setTimeout(() => {
          clearTimeout(late);
          resolve();
        }, 0),
      );
    });
  }

  // Resolves once what the page changed is on the screen: the program tells when it has drawn the
  // window after the page's next frame (asked for in that frame: "kelvoDrawn", answered by the
  // event "kelvo:drawn"), well after the page painted it. Where the program does not tell, or does
  // not draw within a second (a window that is not shown), after the page painted.
  function onScreen() {
    const handlers = window.webkit && window.webkit.messageHandlers;
    const drawn = handlers && handlers.kelvoDrawn;
    if (!drawn) return afterPaint();
    return new Promise((resolve) => {
      const done = () => {
        clearTimeout(late);
        window.removeEventListener("kelvo:drawn", done);
        resolve();
      };
      const late = setTimeout(done, 1000);
      window.addEventListener("kelvo:drawn", done);
      requestAnimationFrame(() => drawn.postMessage(""));
    });
  }

  // Tells the progress of a long read or save in the status line, painted now and then.
  function progressOf(verb, path) {
    let lastPaint = performance.now();
    return async (done, total) => {
      if (performance.now() - lastPaint < PAINT_INTERVAL_MS) return;
      setStatus(`${verb} ${Doc.shownName(path)}… ${total > 0 ? Math.floor((done / total) * 100) : 100}%`);
      await afterPaint();
      lastPaint = performance.now();
    };
  }

  // The commands given while another ran, in order: each goes on once the one before it ended.
  const waitingCommands = [];

  // Runs one command at a time with the toolbar disabled; a failure goes to the error bar. A
  // command given while another runs (a key played after a paste, say) waits for it.
  //
  // A command that shows a dialog or asks a question (`holdsKeys`) holds the keys typed from the
  // moment it is given until it has ended, whatever reaches the page first, the dialog's answer or
  // the keys typed after it: they go to the document it leaves shown (the one opened, the one
  // saved), in order, and none answers a question asked meanwhile unless typed once it showed.
  async function run(action, work, holdsKeys = false) {
    const release = holdsKeys ? holdKeys() : null;
    if (state.busy) {
      setStatus(`${action} waits: another command is still running`);
      await new Promise((goOn) => waitingCommands.push(goOn));
    }
    state.busy = true;
    // A toolbar button pressed with Space or Return gives the keyboard back to the editor as its
    // command begins (a click never takes it: see the "mousedown" listener below). Disabled, the
    // button would lose the keyboard to nothing, and the editor's own keys would not reach the
    // text, while letters typed still would.
    if (toolbar.contains(document.activeElement)) editor.focus();
    buttons.forEach((button) => (button.disabled = true));
    try {
      hideError();
      if (!vexa) throw new Doc.DocumentError("bridge_unavailable", "This page is not running inside Vostra Studio");
      await work();
    } catch (error) {
      showError(action, error);
    } finally {
      // Whatever went wrong in showing it, the command ends, and the keys it held are played.
      try {
        refresh();
      } catch (error) {
        console.error(error);
      }
      // The next command waiting goes on as the running one: nothing given meanwhile goes before it.
      const next = waitingCommands.shift();
      if (next) {
        next();
      } else {
        state.busy = false;
        buttons.forEach((button) => (button.disabled = false));
      }
      if (release) release();
    }
  }

  // The height of a line of the editor, and how many characters of a document's usual text a
  // row holds (a guess, for the size of blocks not laid out yet).
  function editorMetrics() {
    const style = getComputedStyle(editor);
    const lineHeight = parseFloat(style.lineHeight) || 26;
    const width = editor.clientWidth - parseFloat(style.paddingLeft) - parseFloat(style.paddingRight);
    const context = document.createElement("canvas").getContext("2d");
    context.font = `${style.fontSize} ${style.fontFamily}`;
    const sample = "the quick brown fox jumps over the lazy dog 0123456789 ";
    const characterWidth = context.measureText(sample).width / sample.length;
    const rowCharacters = width > 0 && characterWidth > 0 ? Math.max(1, Math.floor(width / characterWidth)) : Infinity;
    return { lineHeight, rowCharacters };
  }

  // Takes the shown document out of the editor and lets its text go at once. The page keeps the
  // elements it made, and the editor's undo history the lines it changed, until its collector comes
  // round to them, which may be long after: emptied, they no longer hold the text.
  function dropShownText() {
    const shown = Array.from(editor.childNodes);
    editor.replaceChildren();
    counted = null;
    // Emptied after this task, so that no observer of the editor sees it done.
    setTimeout(() => {
      for (const node of shown) {
        const texts = document.createTreeWalker(node, NodeFilter.SHOW_TEXT);
        for (let text = texts.nextNode(); text; text = texts.nextNode()) text.data = "";
      }
    });
  }

  // Shows a text given in pieces in the editor as sections of groups of blocks of lines, with the caret at its
  // start. A long text is laid out in slices with the page painting between them. The groups are
  // made as they are shown, so that no string of the text outlives its group's making but the
  // ones the page shows.
  async function showText(pieces) {
    const { lineHeight, rowCharacters } = editorMetrics();
    history.clear(dropShownText);
    editor.scrollTop = 0;
    layout.reset();
    let section = null;
    let sliceStart = performance.now();
    let i = 0;
    for (const { blocks, rows } of Text.blockGroups(pieces, rowCharacters)) {
      if (i % Text.LAYOUT.sectionGroups === 0) {
        section = editor.appendChild(document.createElement("div"));
        section.className = "section";
      }
      section.appendChild(newGroup(blocks, rows, lineHeight));
      // Most of the work is the page's layout of the new groups: it is done slice by slice here,
      // not all at once when the caret is placed.
      if (i % 16 === 15 && editor.offsetHeight >= 0 && performance.now() - sliceStart > BUILD_SLICE_MS) {
        await afterPaint();
        sliceStart = performance.now();
      }
      i++;
    }
    // What was built is not an edit to take back.
    history.clear();
    placeCaretAtStart();
    editor.scrollTop = 0;
  }

  // The element of a group of blocks (each the text of a few lines, a line feed after each) that
  // shows `rows` rows of `lineHeight` pixels, laid out only when it comes near the view.
  function newGroup(blocks, rows, lineHeight) {
    const group = document.createElement("div");
    group.className = "group";
    group.style.containIntrinsicSize = `auto ${Math.ceil(rows * lineHeight)}px`;
    for (const lines of blocks) group.appendChild(document.createElement("div")).textContent = lines;
    return group;
  }

  // Puts the caret before the first character of the editor's text (inside its first text, not
  // before the blocks: typed there, a character would start a line of its own).
  function placeCaretAtStart() {
    layout.select(...layout.firstPosition());
  }

  // Lets the bytes of the saved text go at once (see VostraDocument.textOfBytes).
  function releaseSaved() {
    if (typeof state.saved.release === "function") state.saved.release();
  }

  // Shows a document in place of the one shown: its text in pieces (a list, or a document's text
  // as read), which is the saved text, its length and form. What the page kept of the document
  // shown before is let go at once.
  async function load(path, pieces, length, form) {
    releaseSaved();
    Doc.releaseForm(state.form);
    state.path = path;
    state.form = form;
    state.edited = false;
    state.changed = false;
    state.saved = pieces;
    state.savedLength = length;
    state.shown++;
    await showText(pieces);
    hideError();
    showNotice("");
  }

  async function openPath(path) {
    if (!(await confirmDiscard(`open “${Doc.shownName(path)}”`))) return;
    const name = Doc.shownName(path);
    setStatus(`Opening ${name}…`);
    // The counts of the text shown hold strings of it: let go before the read, they are more
    // likely gone by the time the new document is shown (counted again if the read fails).
    counted = null;
    const { pieces, length, form } = await Doc.readDocument(vexa, path, progressOf("Opening", path));
    // Laying out a long text keeps the page from painting for a while: it says so first.
    if (length > LONG_TEXT) {
      setStatus(`Showing ${name}…`);
      await afterPaint();
    }
    await load(path, pieces, length, form);
    takeKeysAfterOpening();
    if (state.form.invalidUtf8) {
      showNotice(
        `“${name}” is not all UTF-8 text: each “�” stands for bytes that are not. ` +
          "Saving writes “�” (U+FFFD) in their place, and the first save asks first.",
      );
      setStatus(`Opened ${name}: it is not all UTF-8 text`);
    } else {
      setStatus(`Opened ${name}`);
    }
  }

  // Holds the keys typed from now on (see held_keys.js) until the answered function is called; the
  // editor tells a screen reader it is busy meanwhile, and until the keys held have all been
  // played (see heldKeys, above).
  function holdKeys() {
    editor.setAttribute("aria-busy", "true");
    return heldKeys.hold();
  }

  // A document just shown takes the keys at once (however it was opened: by a key, the toolbar's
  // button or a drop), its caret at the start of the text.
  function takeKeysAfterOpening() {
    editor.focus();
    placeCaretAtStart();
  }

  // Saving a document that was read with bytes that are not UTF-8 writes "�" in their place:
  // the first save asks.
  function confirmReplacementCharacters() {
    if (!state.form.invalidUtf8) return Promise.resolve(true);
    return ask(
      `“${documentName()}” was not all UTF-8 text. Saving writes “�” (U+FFFD) where it was not. Save anyway?`,
      "Save Anyway",
    );
  }

  async function saveTo(path) {
    // The text goes to the file in the pieces the editor holds, never joined into one.
    const runs = Text.runsOf(editor);
    const pieces = Text.piecesOf(runs);
    const changes = state.changes;
    const name = Doc.shownName(path);
    setStatus(`Saving ${name}…`);
    // The bytes written are kept as the saved text.
    const written = [];
    const bytes = await Doc.saveDocument(vexa, path, pieces, state.form, progressOf("Saving", path), (chunk) =>
      written.push(chunk.slice()),
    );
    state.path = path;
    state.savedLength = Text.lengthOf(runs);
    const form = Doc.writtenForm(pieces, state.form);
    if (form.original === null) {
      releaseSaved();
      Doc.releaseForm(state.form);
      state.saved = Doc.textOfBytes(written);
    } else {
      // Written as it was read: the saved text is what it was.
      Doc.textOfBytes(written).release();
    }
    state.form = form;
    // What was typed while the document was written is compared again.
    state.edited = state.changed = state.changes !== changes;
    hideError();
    showNotice("");
    setStatus(`Saved ${name} (${bytes.toLocaleString()} ${bytes === 1 ? "byte" : "bytes"})`);
  }

  function cancelled() {
    setStatus("Save cancelled");
  }

  async function save() {
    if (!Doc.savesInPlace(state.path)) {
      await saveAs();
      return;
    }
    if (!(await confirmReplacementCharacters())) return cancelled();
    await saveTo(state.path);
  }

  // The application holds back what the page sends while a dialog shows: a copy still on its way
  // goes on first, so that its text comes as it would without the dialog (and never waits for the
  // dialog's end, nor is given up for it). The keys typed meanwhile go to the dialog.
  //
  // A dialog's text field takes the display's primary selection (as the dialog shows, or once text
  // is selected in it), and the web view gives its own up a moment later, collapsing the editor's
  // selection to its focus (no script asks for it), at times after the dialog closed: the caret
  // and selection the editor had are given back, and kept for a moment after the dialog, while the
  // editor has the keyboard (a question asked next takes it), until a key acts, the text changes or
  // a click lands in it.
  let dialogsShown = 0;
  async function showDialog(show) {
    await clipboard.sent();
    const kept = editorSelection();
    const changes = state.changes;
    const shown = state.shown;
    const presses = pointerPresses;
    const acted = keysActed;
    const untouched = () =>
      state.changes === changes && state.shown === shown && pointerPresses === presses && keysActed === acted;
    const giveBack = () => {
      if (!untouched() || document.activeElement !== editor) return false;
      if (!kept.every((part) => typeof part === "number" || editor.contains(part))) return false;
      const now = editorSelection();
      if (now === null || !now.every((part, i) => part === kept[i])) layout.select(...kept);
      return true;
    };
    dialogsShown += 1;
    try {
      return await show();
    } finally {
      dialogsShown -= 1;
      if (kept !== null && giveBack()) {
        const watch = () => {
          if (!giveBack()) document.removeEventListener("selectionchange", watch);
        };
        document.addEventListener("selectionchange", watch);
        setTimeout(() => document.removeEventListener("selectionchange", watch), KEPT_AFTER_DIALOG_MS);
      }
    }
  }

  // The editor's selection (anchor and focus), or null where it is not in the editor.
  function editorSelection() {
    const selection = getSelection();
    if (selection.rangeCount === 0 || !editor.contains(selection.anchorNode) || !editor.contains(selection.focusNode)) {
      return null;
    }
    return [selection.anchorNode, selection.anchorOffset, selection.focusNode, selection.focusOffset];
  }

  async function saveAs() {
    const chosen = await showDialog(() =>
      vexa.dialogs.saveFile({
        title: "Save Document",
        defaultPath: state.path ? Doc.folderOf(state.path) : undefined,
        defaultName: state.path ? Doc.withDocumentExtension(Doc.fileName(state.path)) : "Untitled.vrs",
      }),
    );
    if (typeof chosen !== "string" || chosen.length === 0) return cancelled();
    // The dialog asked about replacing the name it answered; the document is saved under that
    // name with ".vrs", which may be another file: that one is asked about here.
    const path = Doc.withDocumentExtension(chosen);
    if (path !== chosen && (await Doc.fileExists(vexa, path))) {
      const folder = Doc.shownPath(Doc.folderOf(path));
      const question = `“${Doc.shownName(path)}” already exists in “${folder}”. Replace it?`;
      if (!(await ask(question, "Replace"))) return cancelled();
    }
    if (!(await confirmReplacementCharacters())) return cancelled();
    await saveTo(path);
  }

  // Every command but a link, and a save in place that needs no question, may show a dialog or
  // ask: it holds the keys typed meanwhile (see run).
  const HOLDS_KEYS = true;
  const actions = {
    newDocument: () =>
      run(
        "New",
        async () => {
          if (!(await confirmDiscard("start a new document"))) return;
          await load(null, [], 0, Doc.newForm());
          setStatus("New document");
          editor.focus();
        },
        HOLDS_KEYS,
      ),
    open: () =>
      run(
        "Open",
        async () => {
          const chosen = await showDialog(() =>
            vexa.dialogs.openFile({
              title: "Open Document",
              defaultPath: state.path ? Doc.folderOf(state.path) : undefined,
              allowMultiple: false,
            }),
          );
          if (!Array.isArray(chosen) || chosen.length === 0) {
            setStatus("Open cancelled");
            return;
          }
          await openPath(chosen[0]);
        },
        HOLDS_KEYS,
      ),
    // A document whose name ends in ".VRS" (or another case) cannot be written back under that
    // name: Save asks where to put it, offering the name with ".vrs".
    save: () => run("Save", save, !Doc.savesInPlace(state.path) || state.form.invalidUtf8),
    saveAs: () => run("Save As", saveAs, HOLDS_KEYS),
    openDropped: (paths) =>
      run(
        "Open",
        async () => {
          const path = (paths || []).find(Doc.isDocumentPath);
          if (!path) throw new Doc.DocumentError("not_a_document", "Only .vrs documents can be opened here");
          await openPath(path);
        },
        HOLDS_KEYS,
      ),
    openLink: (url) =>
      run("Open link", async () => {
        await vexa.invoke("vostra.url.open", url);
        setStatus(`Opened ${url} in the browser`);
      }),
  };

  // A command given by the toolbar or a drop while keys are held (a paste waits, a document
  // opens) takes effect after them, in order, as its key would.
  const later = (command) => (...args) => heldKeys.whenFree(() => command(...args));
  byId("new-button").addEventListener("click", later(actions.newDocument));
  byId("open-button").addEventListener("click", later(actions.open));
  byId("save-button").addEventListener("click", later(actions.save));
  byId("save-as-button").addEventListener("click", later(actions.saveAs));
  // A bar dismissed by its button gives the keyboard back to the editor, whose caret waits where it
  // was (the button goes with the bar).
  const dismissed = (bar, hide) => () => {
    const hadKeyboard = bar.contains(document.activeElement);
    hide();
    if (hadKeyboard) editor.focus();
  };
  byId("error-dismiss").addEventListener("click", dismissed(byId("error-bar"), dismissError));
  byId("notice-dismiss").addEventListener("click", dismissed(byId("notice-bar"), () => showNotice("")));
  byId("website-link").addEventListener("click", (event) => {
    event.preventDefault();
    later(actions.openLink)(event.currentTarget.href);
  });

  // A change marks the document edited at once; the full comparison (which may find it back as
  // it was saved) and the counts follow on the next frame, or after a pause in a long document.
  let refreshTimer = 0;
  let framePending = false;
  function noteChange() {
    state.changes++;
    state.changed = true;
    if (!state.edited) {
      state.edited = true;
      showEdited();
    }
    if (!placeholder.hidden) placeholder.hidden = true;
    clearTimeout(refreshTimer);
    if (state.savedLength > LONG_TEXT || (counted !== null && counted.length > LONG_TEXT)) {
      refreshTimer = setTimeout(refresh, PAUSE_MS);
    } else if (!framePending) {
      framePending = true;
      requestAnimationFrame(() => {
        framePending = false;
        refresh();
      });
    }
  }

  // Focused while the window was not active, the editor may have no caret at all (and hear of
  // its focus only later): it gets one at the start, at the latest when a key is pressed.
  function keepCaretInText() {
    const selection = getSelection();
    if (document.activeElement === editor && (selection.rangeCount === 0 || !editor.contains(selection.anchorNode))) {
      placeCaretAtStart();
    }
  }
  document.addEventListener("selectionchange", keepCaretInText);
  editor.addEventListener("keydown", keepCaretInText, true);

  // Ctrl+Home and Ctrl+End (with Shift, selecting) go to the start and the end of the text; the
  // web view would look for them in groups it has not laid out.
  function goToEnd(end, selecting) {
    const [node, offset] = end ? layout.lastPosition() : layout.firstPosition();
    const selection = getSelection();
    if (selecting && selection.rangeCount > 0) {
      layout.select(selection.anchorNode, selection.anchorOffset, node, offset);
    } else {
      layout.select(node, offset);
    }
    editor.scrollTop = end ? editor.scrollHeight : 0;
  }
  editor.addEventListener("keydown", (event) => {
    if (!event.ctrlKey || event.altKey || event.metaKey || (event.key !== "Home" && event.key !== "End")) return;
    event.preventDefault();
    goToEnd(event.key === "End", event.shiftKey);
  });

  // Tab writes a tab; Ctrl+Tab and Ctrl+Shift+Tab move the keyboard focus on to the next or the
  // previous control, out of the editor too, as in a desktop text view. With Shift, X names the
  // key ISO_Left_Tab, which the page sees as "Unidentified": the key is known by its code.
  const isTab = (event) => event.key === "Tab" || event.code === "Tab";
  editor.addEventListener("keydown", (event) => {
    if (!isTab(event) || event.ctrlKey || event.altKey || event.metaKey || event.shiftKey) return;
    event.preventDefault();
    document.execCommand("insertText", false, "\t");
  });

  function focusableControls() {
    const candidates = document.querySelectorAll(
      "button:not([disabled]), a[href], [contenteditable]:not([contenteditable='false']), [tabindex]:not([tabindex='-1'])",
    );
    return Array.from(candidates).filter((element) => element.getClientRects().length > 0);
  }

  function moveFocus(backwards) {
    const controls = focusableControls();
    if (controls.length === 0) return;
    const at = controls.indexOf(document.activeElement);
    const step = backwards ? -1 : 1;
    const next = at < 0 ? (backwards ? controls.length - 1 : 0) : (at + step + controls.length) % controls.length;
    focusAway(controls[next]);
  }
  document.addEventListener("keydown", (event) => {
    if (!isTab(event) || !event.ctrlKey || event.altKey || event.metaKey) return;
    event.preventDefault();
    moveFocus(event.shiftKey);
  });

  // The editor keeps its caret and selection while another control has the keyboard, and gets
  // them back with the focus, however the focus comes back (a key, a click on its frame, a
  // dialog or a question that closes); a click into the text places the caret after this. The
  // selection is kept as it changes: by the time the editor hears that it lost the focus, the
  // web view may have moved it already. A selection still in the editor stays as it is (the
  // focus of a window that was not active arrives late, after keys have moved the caret), unless
  // it moved while another control had the keyboard.
  let keptSelection = null;
  // The selection in the editor changed while another control or a dialog had the keyboard: not
  // the user's doing there (a dialog's field took the primary selection, and the web view
  // collapsed the editor's selection to its focus, while the dialog showed or after the question
  // asked next took the keyboard, say). The editor stays the page's focused element, in a window
  // that still counts as focused, while a file dialog shows.
  let movedWhileAway = false;
  document.addEventListener("selectionchange", () => {
    const selection = getSelection();
    if (selection.rangeCount === 0) return;
    if (!editor.contains(selection.anchorNode) || !editor.contains(selection.focusNode)) return;
    if (document.activeElement !== editor || dialogsShown > 0) {
      movedWhileAway = true;
      return;
    }
    keptSelection = [selection.anchorNode, selection.anchorOffset, selection.focusNode, selection.focusOffset];
    movedWhileAway = false;
  });
  // Gives the keyboard to another control of the page: the editor's selection as it is now is the
  // one it gets back. The page may not have been told yet of the change a key just made, and the
  // web view lets the selection go before the editor hears that it lost the focus.
  function focusAway(control) {
    const now = document.activeElement === editor && !movedWhileAway ? editorSelection() : null;
    if (now !== null) keptSelection = now;
    control.focus();
  }
  editor.addEventListener("focus", () => {
    const selection = getSelection();
    const kept = keptSelection;
    const inEditor = selection.rangeCount > 0 && editor.contains(selection.anchorNode) && editor.contains(selection.focusNode);
    // A click into the text places the caret itself.
    const givenBack = !inEditor || (movedWhileAway && !pointerPressed);
    movedWhileAway = false;
    if (givenBack && kept !== null && kept.every((part) => typeof part === "number" || (part.isConnected && editor.contains(part)))) {
      layout.select(...kept);
    }
    keepCaretInText();
  });

  // The editor's own editing (see editor_edit.js) where the web view's would reach past what it
  // has laid out: typing, a line break or a deletion over a selection that reaches into another
  // group or over more than a page of blocks replaces it on the groups. The history (see
  // editor_history.js) keeps every edit, the web view's and the editor's, for Undo and Redo.
  const FAR_BLOCKS = 64;
  // Answers the places `carried` as they are after the edit (see VostraEditorEdit.replace), or
  // null where it edited nothing.
  function replaceByEditing(kind, text, ends = edit.selectionEnds(), carried = []) {
    if (ends === null || !edit.holds(ends)) return null;
    let moved = null;
    history.edit(kind, () => (moved = edit.replace(ends.start, ends.end, text, carried)));
    noteChange();
    return moved;
  }

  editor.addEventListener("beforeinput", (event) => {
    const kind = event.inputType;
    if (kind === "historyUndo" || kind === "historyRedo") {
      event.preventDefault();
      if (kind === "historyUndo") undo();
      else redo();
      return;
    }
    const ends = edit.selectionEnds();
    const replaces = kind.startsWith("insert") || kind.startsWith("delete");
    const selected = ends !== null && !getSelection().isCollapsed;
    if (replaces && selected && kind !== "insertFromDrop" && kind !== "deleteByDrag" && edit.reachesFar(ends, FAR_BLOCKS)) {
      event.preventDefault();
      const text = kind.startsWith("delete") ? "" : kind === "insertLineBreak" || kind === "insertParagraph" ? "\n" : event.data || "";
      replaceByEditing(kind, text.replace(/\r\n?/g, "\n"), ends);
      return;
    }
    history.willEdit(kind);
  });
  editor.addEventListener("input", (event) => {
    history.edited(event.inputType);
    noteChange();
  });

  function undo() {
    if (history.undo()) noteChange();
  }

  function redo() {
    if (history.redo()) noteChange();
  }

  // Ctrl+Z and Ctrl+Shift+Z in the editor, typed or chosen from the window's Edit menu, which
  // gives the page its items' keys (the web view's own undo and redo reach it through
  // "beforeinput", above).
  editor.addEventListener("keydown", (event) => {
    if (!event.ctrlKey || event.altKey || event.metaKey || event.key.toLowerCase() !== "z") return;
    event.preventDefault();
    if (event.shiftKey) redo();
    else undo();
  });

  // Select All (Ctrl+A, and the web view's own command, which the page hears of as a selection
  // that starts while no key and no pointer is pressed) selects the whole text: the web view's own
  // would stop at the first group it has not laid out. A key that extends a selection starts one
  // too, in the key's own task.
  let pointerPressed = false;
  let keyPressed = false;
  // Presses of the pointer in the editor so far (a paste tells by them whether a click moved the
  // caret while it waited).
  let pointerPresses = 0;
  window.addEventListener(
    "pointerdown",
    (event) => {
      pointerPressed = true;
      if (event.target instanceof Node && editor.contains(event.target)) pointerPresses++;
    },
    true,
  );
  window.addEventListener("pointerup", () => (pointerPressed = false), true);
  window.addEventListener("blur", () => (pointerPressed = false));
  // Keys that acted so far, typed or played (a key held back reaches no listener but the first).
  let keysActed = 0;
  window.addEventListener(
    "keydown",
    () => {
      keyPressed = true;
      keysActed++;
      setTimeout(() => (keyPressed = false));
    },
    true,
  );
  editor.addEventListener("keydown", (event) => {
    if (!event.ctrlKey || event.altKey || event.metaKey || event.shiftKey || event.key.toLowerCase() !== "a") return;
    event.preventDefault();
    edit.selectAll();
  });
  document.addEventListener(
    "selectstart",
    (event) => {
      if (pointerPressed || keyPressed || document.activeElement !== editor) return;
      event.preventDefault();
      edit.selectAll();
    },
    true,
  );

  // Copy and Cut put exactly the selected text on the clipboard, and Paste takes the clipboard's
  // text as it is (see clipboard.js).
  const clipboard = window.VostraClipboard.attach(vexa, { report: (error) => showError("Copy", error) });

  // Copies (and with `cut`, deletes) the editor's selection; `event` is the copy or cut event,
  // when there is one, and `mark` the clipboard's mark of when a held key asked for it. The web
  // view itself writes nothing: the event is cancelled with no data, which leaves the clipboard as
  // it is, and the text goes through the application alone. With nothing selected in the editor,
  // or the keyboard elsewhere, the clipboard stays as it was and the text too; so they do where
  // the selected text cannot be copied (it is too large), which the error bar says.
  function copySelection(event, cut, mark = null) {
    if (event) event.preventDefault();
    const ends = document.activeElement === editor && !getSelection().isCollapsed ? edit.selectionEnds() : null;
    if (ends === null) return;
    const gather = () => edit.textBetween(ends.start, ends.end);
    const { copied, refused } = clipboard.copy(gather, mark, heldKeys.keyTypedAt());
    if (refused) showError(cut ? "Cut" : "Copy", refused);
    if (cut && copied && editor.isContentEditable) replaceByEditing("deleteByCut", "");
  }

  // Pastes the clipboard's text over the selection, each of its line breaks a line feed; keys
  // typed meanwhile wait for it. An empty clipboard, or one without text, changes nothing. A
  // failure shows until it is dismissed or the next paste ends (see showError).
  //
  // The paste lands where the selection was when it was asked for, and nowhere else: where the
  // text or the document changed while it waited (by anything not held with the keys), it is
  // given up, and says so. A click meanwhile moves the caret after it has landed.
  async function paste() {
    const ends = edit.selectionEnds();
    if (ends === null) return;
    const changes = state.changes;
    const shown = state.shown;
    const presses = pointerPresses;
    // Keys typed meanwhile are played once the text is in place.
    const release = holdKeys();
    try {
      let pasted;
      try {
        pasted = await clipboard.read();
      } catch (error) {
        showError("Paste", error);
        return;
      }
      if (pasted.text === "") {
        clearPasteFailure();
        setStatus("Nothing pasted: the clipboard holds no text");
        return;
      }
      if (state.changes !== changes || state.shown !== shown || !edit.holds(ends)) {
        const sentence = "The text changed while the paste waited for the clipboard, so nothing was pasted";
        showError("Paste", new Doc.DocumentError("text_changed", sentence));
        return;
      }
      clearPasteFailure();
      // A selection that a click made meanwhile is carried over the pasted text.
      const clicked = presses !== pointerPresses ? edit.selectionEnds() : null;
      const carried = clicked !== null && !sameEnds(clicked, ends) ? [clicked.start, clicked.end] : [];
      const moved = replaceByEditing("insertFromPaste", pasted.text.replace(/\r\n?/g, "\n"), ends, carried);
      if (moved !== null && moved.length === 2) {
        const [start, end] = moved;
        if (clicked.backwards) layout.select(...end, ...start);
        else layout.select(...start, ...end);
        layout.followSelection();
      }
      if (pasted.replaced > 0) {
        const bytes = pasted.replaced;
        setStatus(
          `Pasted with “�” (U+FFFD) for ${bytes.toLocaleString()} ${bytes === 1 ? "byte" : "bytes"} of the ` +
            `clipboard that ${bytes === 1 ? "was" : "were"} not UTF-8`,
        );
      }
    } finally {
      release();
    }
  }

  const sameEnds = (a, b) =>
    a.start[0] === b.start[0] && a.start[1] === b.start[1] && a.end[0] === b.end[0] && a.end[1] === b.end[1];

  // Copy and Cut, by key or by the Edit menu, wherever the keyboard is in the page: only the
  // editor's selection is ever copied.
  for (const kind of ["copy", "cut"]) document.addEventListener(kind, (event) => copySelection(event, kind === "cut"), true);
  // The web view's own reading of the clipboard is never asked for: it waits on the program that
  // holds the clipboard with the page stopped, and ends at a NUL.
  editor.addEventListener("paste", (event) => {
    event.preventDefault();
    if (editor.isContentEditable) paste();
  });

  // A click outside the text leaves the keyboard where it was: a click on no control (the
  // toolbar's empty part, the header, the margin beside the editor, the status line), and one on
  // a button or the link, which does what it does without taking the keyboard, as a desktop
  // toolbar's buttons do. The web view gives a button it presses the keyboard, and the button
  // keeps it after its command, while the selection stays in the text: letters typed still went
  // there, but the editor's own keys (Select All, Copy, Ctrl+Home, Redo, a Space) went to the
  // web view's, which knows only the part of a long text that is laid out, or to the button. Only
  // what is typed into takes the keyboard with a click.
  const TYPED_INTO = "#editor, input, select, textarea, [contenteditable]";
  document.addEventListener(
    "mousedown",
    (event) => {
      const target = event.target instanceof Element ? event.target : null;
      if (target === null || target.closest(TYPED_INTO) !== null) return;
      event.preventDefault();
    },
    true,
  );

  // Whether a key copies or cuts: "c" or "x" with Ctrl.
  function copyKey(key) {
    const letter = key.key.length === 1 ? key.key.toLowerCase() : "";
    return key.ctrlKey && !key.altKey && !key.metaKey && (letter === "c" || letter === "x");
  }

  // Keys held while a document opens or a paste reads the clipboard, played in order once the
  // editor takes them again.
  function playKey(key) {
    keysActed++;
    const control = key.ctrlKey && !key.altKey && !key.metaKey;
    const letter = key.key.length === 1 ? key.key.toLowerCase() : "";
    const command = control && { n: actions.newDocument, o: actions.open, s: key.shiftKey ? actions.saveAs : actions.save }[letter];
    if (command) return command();
    if (control && isTab(key)) return moveFocus(key.shiftKey);
    if (document.activeElement !== editor) return undefined;
    const selection = getSelection();
    const alter = key.shiftKey ? "extend" : "move";
    const moves = {
      ArrowLeft: ["backward", "character"],
      ArrowRight: ["forward", "character"],
      ArrowUp: ["backward", "line"],
      ArrowDown: ["forward", "line"],
      Home: ["backward", "lineboundary"],
      End: ["forward", "lineboundary"],
    };
    if (control) {
      if (letter === "a") return edit.selectAll();
      // Played once its mark is known (nothing else plays meanwhile).
      if (copyKey(key)) return Promise.resolve(key.noted).then((mark) => copySelection(null, letter === "x", mark));
      if (letter === "v") return paste();
      if (letter === "z") return key.shiftKey ? redo() : undo();
      if (key.key === "Home" || key.key === "End") return goToEnd(key.key === "End", key.shiftKey);
      if (key.key === "ArrowLeft" || key.key === "ArrowRight") {
        selection.modify(alter, key.key === "ArrowLeft" ? "backward" : "forward", "word");
      }
    } else if (moves[key.key]) {
      selection.modify(alter, ...moves[key.key]);
    } else if (key.key === "PageUp" || key.key === "PageDown") {
      // As the web view pages: the caret and the view move by the same step.
      const up = key.key === "PageUp";
      const { pixels, lines } = layout.pageStep();
      for (let i = lines; i > 0; i--) selection.modify(alter, up ? "backward" : "forward", "line");
      editor.scrollTop += up ? -pixels : pixels;
    } else if (key.key === "Enter") {
      document.execCommand("insertLineBreak");
    } else if (key.key === "Backspace" || key.key === "Delete") {
      document.execCommand(key.key === "Backspace" ? "delete" : "forwardDelete");
    } else if (isTab(key)) {
      document.execCommand("insertText", false, "\t");
    } else if ([...key.key].length === 1) {
      document.execCommand("insertText", false, key.key);
    }
    layout.followSelection();
    revealCaret();
    return undefined;
  }

  // Scrolls the editor as little as shows the caret (the selection's focus), as the web view does
  // after a key of its own.
  function revealCaret() {
    const selection = getSelection();
    if (selection.rangeCount === 0 || !editor.contains(selection.focusNode)) return;
    const range = document.createRange();
    range.setStart(selection.focusNode, selection.focusOffset);
    const rects = range.getClientRects();
    const caret = rects.length > 0 ? rects[0] : range.getBoundingClientRect();
    const top = editor.getBoundingClientRect().top + editor.clientTop;
    const bottom = top + editor.clientHeight;
    if (caret.top < top) editor.scrollTop -= top - caret.top;
    else if (caret.bottom > bottom) editor.scrollTop += caret.bottom - bottom;
  }

  // Leaving the page (a reload, say) while the text is edited asks first.
  window.addEventListener("beforeunload", (event) => {
    if (!state.edited) return;
    event.preventDefault();
    event.returnValue = "";
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
  // they may land and keeps the web view from opening them itself. Text dragged inside the
  // editor moves as the editor moves it.
  const overlay = byId("drop-overlay");
  const carriesFiles = (event) => Array.from((event.dataTransfer && event.dataTransfer.types) || []).includes("Files");
  let dragDepth = 0;
  window.addEventListener("dragenter", (event) => {
    if (!carriesFiles(event)) return;
    event.preventDefault();
    dragDepth++;
    overlay.hidden = false;
  });
  window.addEventListener("dragover", (event) => event.preventDefault());
  window.addEventListener("dragleave", (event) => {
    if (!carriesFiles(event)) return;
    dragDepth = Math.max(0, dragDepth - 1);
    if (dragDepth === 0) overlay.hidden = true;
  });
  window.addEventListener("drop", (event) => {
    if (!carriesFiles(event)) return;
    event.preventDefault();
    dragDepth = 0;
    overlay.hidden = true;
  });

  if (vexa) {
    // The keys typed after a command's key and before its dialog showed go to the dialog.
    vexa.dialogs.keysTypedAhead(() => heldKeys.takeKeysAhead());
    vexa.on("drop:files", (detail) => {
      overlay.hidden = true;
      later(actions.openDropped)(detail && detail.paths);
    });
  } else {
    showError("Start", new Doc.DocumentError("bridge_unavailable", "This page is not running inside Vostra Studio"));
  }

  refresh();
  editor.focus();
})();
