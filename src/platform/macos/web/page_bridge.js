// window.vexa: the page's way to the application. The host injects this text at document start into
// the top frame, applied to the web view's page token: `(function (pageToken) {...})("<token>");`.
// The token and the message handler's poster stay in this closure. Every request goes out as the
// token followed by its JSON text, so the host can refuse what a sub-frame or script that bypasses
// window.vexa posts to the handler directly.
(function (pageToken) {
  "use strict";

  if (window.top !== window) return;
  const installed = window.vexa;
  if (installed && installed.invoke) return;

  const pending = new Map();
  const listeners = new Map();
  let nextId = 1;

  // Bound now: page script may replace window.webkit later, and the handler must not be swapped.
  const messageHandlers = window.webkit && window.webkit.messageHandlers;
  const bridgeHandler = messageHandlers && messageHandlers.kelvoBridge;
  const postToHandler =
    bridgeHandler && typeof bridgeHandler.postMessage === "function"
      ? bridgeHandler.postMessage.bind(bridgeHandler)
      : null;

  function post(text) {
    const message = pageToken + text;
    if (postToHandler) {
      postToHandler(message);
      return;
    }
    const cefBridge = window.kelvoCefBridge;
    if (cefBridge && typeof cefBridge.postMessage === "function") {
      cefBridge.postMessage(message);
      return;
    }
    throw new Error("kelvo bridge transport is unavailable");
  }

  function invoke(command, payload) {
    if (typeof command !== "string" || command.length === 0) {
      return Promise.reject(new TypeError("command must be a non-empty string"));
    }
    const id = String(nextId);
    nextId += 1;
    const text = JSON.stringify({ id: id, command: command, payload: payload === undefined ? null : payload });
    return new Promise(function (resolve, reject) {
      pending.set(id, { resolve: resolve, reject: reject });
      try {
        post(text);
      } catch (error) {
        pending.delete(id);
        reject(error);
      }
    });
  }

  function off(name, callback) {
    const callbacks = listeners.get(name);
    if (!callbacks) return;
    callbacks.delete(callback);
    if (callbacks.size === 0) listeners.delete(name);
  }

  function on(name, callback) {
    if (typeof callback !== "function") throw new TypeError("callback must be a function");
    let callbacks = listeners.get(name);
    if (!callbacks) {
      callbacks = new Set();
      listeners.set(name, callbacks);
    }
    callbacks.add(callback);
    return function () {
      off(name, callback);
    };
  }

  function complete(response) {
    const present = response !== undefined && response !== null;
    const id = present && response.id !== undefined && response.id !== null ? String(response.id) : "";
    const entry = pending.get(id);
    if (!entry) return;
    pending.delete(id);
    if (response.ok) {
      entry.resolve(response.result === undefined ? null : response.result);
      return;
    }
    const failure = response.error || {};
    const error = new Error(failure.message || "Native command failed");
    error.code = failure.code || "internal_error";
    entry.reject(error);
  }

  // A listener's exception is reported the way an uncaught one would be, after this dispatch, so
  // the other listeners and the DOM event still see the event.
  function reportLater(error) {
    const rethrow = function () {
      throw error;
    };
    if (typeof queueMicrotask === "function") queueMicrotask(rethrow);
    else Promise.resolve().then(rethrow);
  }

  function emit(name, detail) {
    const callbacks = listeners.get(name);
    if (callbacks) {
      for (const callback of Array.from(callbacks)) {
        try {
          callback(detail);
        } catch (error) {
          reportLater(error);
        }
      }
    }
    window.dispatchEvent(new CustomEvent("kelvo:" + name, { detail: detail }));
  }

  // Argument checks: each throws a TypeError at the call, before anything is posted.
  function absent(value) {
    return value === undefined || value === null;
  }
  function nonEmptyString(value, field) {
    if (typeof value !== "string" || value.length === 0) throw new TypeError(field + " must be a non-empty string");
    return value;
  }
  function string(value, field) {
    if (typeof value !== "string") throw new TypeError(field + " must be a string");
    return value;
  }
  function finiteNumber(value, field) {
    if (typeof value !== "number" || !Number.isFinite(value)) throw new TypeError(field + " must be a finite number");
    return value;
  }
  // The first of `keys` present on `value` (a string or nothing reads as nothing).
  function firstOf(value, keys) {
    if (absent(value) || typeof value !== "object") return undefined;
    for (const key of keys) {
      if (!absent(value[key])) return value[key];
    }
    return undefined;
  }
  function stringOrField(value, key) {
    return typeof value === "string" ? value : firstOf(value, [key]);
  }
  function selector(value) {
    return typeof value === "number" ? { id: value } : { label: String(value) };
  }

  function checkWindowId(windowId) {
    if (absent(windowId)) return;
    const whole = typeof windowId === "number" && Number.isFinite(windowId) && windowId >= 0;
    if (!whole || Math.floor(windowId) !== windowId) throw new TypeError("windowId must be a non-negative integer");
  }
  function checkWebViewSelector(options) {
    if (!absent(options.label)) nonEmptyString(options.label, "label");
    checkWindowId(options.windowId);
  }
  function checkViewSelector(options) {
    nonEmptyString(options.label, "label");
    checkWindowId(options.windowId);
  }
  function frameObject(frame) {
    const source = frame || {};
    return {
      x: absent(source.x) ? 0 : finiteNumber(source.x, "frame.x"),
      y: absent(source.y) ? 0 : finiteNumber(source.y, "frame.y"),
      width: finiteNumber(source.width, "frame.width"),
      height: finiteNumber(source.height, "frame.height"),
    };
  }
  function hasFrameFields(options) {
    return !absent(options.x) || !absent(options.y) || !absent(options.width) || !absent(options.height);
  }
  // A view's frame: options.frame, else the options themselves when they carry frame fields.
  function optionalViewFrame(options) {
    if (!absent(options.frame)) return frameObject(options.frame);
    if (hasFrameFields(options)) return frameObject(options);
    return undefined;
  }

  function webViewFramePayload(options) {
    checkWebViewSelector(options);
    const frame = frameObject(absent(options.frame) ? options : options.frame);
    return { label: options.label, windowId: options.windowId, url: options.url, frame: frame };
  }

  function webViewCreatePayload(options) {
    nonEmptyString(options.url, "url");
    const payload = webViewFramePayload(options);
    if (!absent(options.layer)) payload.layer = finiteNumber(options.layer, "layer");
    if (!absent(options.transparent)) payload.transparent = Boolean(options.transparent);
    if (!absent(options.bridge)) payload.bridge = Boolean(options.bridge);
    return payload;
  }

  function toBoolean(value) {
    return Boolean(value);
  }
  // The optional view fields other than the frame, each with its check.
  const viewFieldChecks = {
    parent: nonEmptyString,
    role: string,
    accessibilityLabel: string,
    text: string,
    command: string,
    url: nonEmptyString,
    layer: finiteNumber,
    visible: toBoolean,
    enabled: toBoolean,
    transparent: toBoolean,
    bridge: toBoolean,
  };
  // Adds the fields present in `options` to `payload`, in the order of `fields`.
  function addViewFields(payload, options, fields) {
    for (const field of fields) {
      if (field === "frame") {
        const frame = optionalViewFrame(options);
        if (frame !== undefined) payload.frame = frame;
      } else if (!absent(options[field])) {
        payload[field] = viewFieldChecks[field](options[field], field);
      }
    }
    return payload;
  }

  function viewCreatePayload(options) {
    checkViewSelector(options);
    const payload = { label: options.label, kind: nonEmptyString(options.kind, "kind"), windowId: options.windowId };
    return addViewFields(payload, options, [
      "frame", "parent", "role", "accessibilityLabel", "text", "command", "url", "layer", "visible", "enabled",
      "transparent", "bridge",
    ]);
  }

  function viewPatchPayload(options) {
    checkViewSelector(options);
    const payload = { label: options.label, windowId: options.windowId };
    return addViewFields(payload, options, [
      "frame", "layer", "visible", "enabled", "role", "accessibilityLabel", "text", "command", "url",
    ]);
  }

  function viewSelectorPayload(options) {
    if (typeof options === "string") return { label: options };
    const source = options || {};
    checkViewSelector(source);
    return { label: source.label, windowId: source.windowId };
  }

  function orEmpty(options) {
    return options || {};
  }

  function webViewHandle(result) {
    const target = { label: result && result.label, windowId: result && result.windowId };
    return Object.freeze(
      Object.assign({}, result, {
        setFrame: function (frame) {
          return webviews.setFrame(Object.assign({}, target, { frame: frame }));
        },
        navigate: function (url) {
          return webviews.navigate(Object.assign({}, target, { url: url }));
        },
        setZoom: function (zoom) {
          return webviews.setZoom(Object.assign({}, target, { zoom: zoom }));
        },
        setLayer: function (layer) {
          return webviews.setLayer(Object.assign({}, target, { layer: layer }));
        },
        close: function () {
          return webviews.close(Object.assign({}, target));
        },
      })
    );
  }

  function viewHandle(result) {
    const target = { label: result && result.label, windowId: result && result.windowId };
    return Object.freeze(
      Object.assign({}, result, {
        update: function (patch) {
          return views.update(Object.assign({}, patch, target));
        },
        setFrame: function (frame) {
          return views.setFrame(Object.assign({}, target, { frame: frame }));
        },
        setVisible: function (visible) {
          return views.setVisible(Object.assign({}, target, { visible: visible }));
        },
        focus: function () {
          return views.focus(Object.assign({}, target));
        },
        close: function () {
          return views.close(Object.assign({}, target));
        },
      })
    );
  }

  const commands = Object.freeze({
    invoke: function (value) {
      const name = typeof value === "string" ? value : firstOf(value, ["name", "id"]);
      return invoke("kelvo.command.invoke", { name: nonEmptyString(name, "command") });
    },
    list: function () {
      return invoke("kelvo.command.list", {});
    },
  });

  const windows = Object.freeze({
    create: function (options) {
      return invoke("kelvo.window.create", orEmpty(options));
    },
    list: function () {
      return invoke("kelvo.window.list", {});
    },
    focus: function (value) {
      return invoke("kelvo.window.focus", selector(value));
    },
    close: function (value) {
      return invoke("kelvo.window.close", selector(value));
    },
  });

  // The keys the page holds that were typed ahead of a dialog it asked for: the function a page
  // names (keysTypedAhead) answers them, and the host asks for them as the dialog shows
  // (_keysAhead): they go to the dialog before the keys typed later. Each is what the page's key
  // event names: { key, code, ctrlKey, shiftKey, altKey, metaKey }.
  let keysTypedAhead = null;
  function keysAhead() {
    let keys = [];
    try {
      keys = keysTypedAhead ? keysTypedAhead() : [];
    } catch (error) {
      reportLater(error);
    }
    if (!Array.isArray(keys)) return [];
    return keys
      .filter((key) => !absent(key) && typeof key.key === "string")
      .map((key) => ({
        key: key.key,
        code: typeof key.code === "string" ? key.code : "",
        ctrlKey: key.ctrlKey === true,
        shiftKey: key.shiftKey === true,
        altKey: key.altKey === true,
        metaKey: key.metaKey === true,
      }));
  }

  const dialogs = Object.freeze({
    keysTypedAhead: function (provider) {
      if (provider !== null && typeof provider !== "function") throw new TypeError("provider must be a function");
      keysTypedAhead = provider;
    },
    openFile: function (options) {
      return invoke("kelvo.dialog.openFile", orEmpty(options));
    },
    saveFile: function (options) {
      return invoke("kelvo.dialog.saveFile", orEmpty(options));
    },
    showMessage: function (options) {
      return invoke("kelvo.dialog.showMessage", orEmpty(options));
    },
  });

  function clipboardMimeType(value) {
    const mimeType = firstOf(value, ["mimeType", "type"]);
    return nonEmptyString(absent(mimeType) ? "text/plain" : mimeType, "mimeType");
  }

  const clipboard = Object.freeze({
    readText: function () {
      return invoke("kelvo.clipboard.readText", {});
    },
    writeText: function (value) {
      return invoke("kelvo.clipboard.writeText", { text: string(stringOrField(value, "text"), "text") });
    },
    read: function (value) {
      return invoke("kelvo.clipboard.read", { mimeType: clipboardMimeType(value) });
    },
    write: function (value) {
      if (typeof value === "string") return invoke("kelvo.clipboard.write", { mimeType: "text/plain", data: value });
      const mimeType = clipboardMimeType(value);
      const data = string(firstOf(value, ["data", "text", "value"]), "data");
      return invoke("kelvo.clipboard.write", { mimeType: mimeType, data: data });
    },
  });

  function pathPayload(value) {
    return { path: nonEmptyString(stringOrField(value, "path"), "path") };
  }

  const os = Object.freeze({
    openUrl: function (value) {
      return invoke("kelvo.os.openUrl", { url: nonEmptyString(stringOrField(value, "url"), "url") });
    },
    showNotification: function (value) {
      const payload = { title: nonEmptyString(stringOrField(value, "title"), "title") };
      const subtitle = firstOf(value, ["subtitle"]);
      const body = firstOf(value, ["body"]);
      if (!absent(subtitle)) payload.subtitle = nonEmptyString(subtitle, "subtitle");
      if (!absent(body)) payload.body = nonEmptyString(body, "body");
      return invoke("kelvo.os.showNotification", payload);
    },
    revealPath: function (value) {
      return invoke("kelvo.os.revealPath", pathPayload(value));
    },
    addRecentDocument: function (value) {
      return invoke("kelvo.os.addRecentDocument", pathPayload(value));
    },
    clearRecentDocuments: function () {
      return invoke("kelvo.os.clearRecentDocuments", {});
    },
  });

  function credentialKey(value) {
    return {
      service: nonEmptyString(firstOf(value, ["service"]), "service"),
      account: nonEmptyString(firstOf(value, ["account"]), "account"),
    };
  }

  const credentials = Object.freeze({
    set: function (value) {
      const payload = credentialKey(value);
      payload.secret = nonEmptyString(firstOf(value, ["secret", "value"]), "secret");
      return invoke("kelvo.credentials.set", payload);
    },
    get: function (value) {
      return invoke("kelvo.credentials.get", credentialKey(value));
    },
    delete: function (value) {
      return invoke("kelvo.credentials.delete", credentialKey(value));
    },
  });

  const platform = Object.freeze({
    supports: function (value) {
      const feature = typeof value === "string" ? value : firstOf(value, ["feature", "name"]);
      return invoke("kelvo.platform.supports", { feature: nonEmptyString(feature, "feature") });
    },
  });

  const webviews = Object.freeze({
    create: function (options) {
      return invoke("kelvo.webview.create", webViewCreatePayload(orEmpty(options))).then(webViewHandle);
    },
    list: function () {
      return invoke("kelvo.webview.list", {});
    },
    setFrame: function (options) {
      return invoke("kelvo.webview.setFrame", webViewFramePayload(orEmpty(options)));
    },
    navigate: function (options) {
      const source = orEmpty(options);
      checkWebViewSelector(source);
      const url = nonEmptyString(source.url, "url");
      return invoke("kelvo.webview.navigate", { label: source.label, windowId: source.windowId, url: url });
    },
    setZoom: function (options) {
      const source = orEmpty(options);
      checkWebViewSelector(source);
      const zoom = finiteNumber(source.zoom, "zoom");
      return invoke("kelvo.webview.setZoom", { label: source.label, windowId: source.windowId, zoom: zoom });
    },
    setLayer: function (options) {
      const source = orEmpty(options);
      checkWebViewSelector(source);
      const layer = finiteNumber(source.layer, "layer");
      return invoke("kelvo.webview.setLayer", { label: source.label, windowId: source.windowId, layer: layer });
    },
    close: function (options) {
      const source = orEmpty(options);
      checkWebViewSelector(source);
      return invoke("kelvo.webview.close", { label: source.label, windowId: source.windowId });
    },
  });

  const views = Object.freeze({
    create: function (options) {
      return invoke("kelvo.view.create", viewCreatePayload(orEmpty(options))).then(viewHandle);
    },
    list: function () {
      return invoke("kelvo.view.list", {});
    },
    update: function (options, patch) {
      const source = typeof options === "string" ? Object.assign({}, patch, { label: options }) : orEmpty(options);
      return invoke("kelvo.view.update", viewPatchPayload(source)).then(viewHandle);
    },
    setFrame: function (options) {
      const source = orEmpty(options);
      checkViewSelector(source);
      const frame = frameObject(absent(source.frame) ? source : source.frame);
      return invoke("kelvo.view.setFrame", { label: source.label, windowId: source.windowId, frame: frame }).then(
        viewHandle
      );
    },
    setVisible: function (options) {
      const source = orEmpty(options);
      checkViewSelector(source);
      if (absent(source.visible)) throw new TypeError("visible is required");
      const payload = { label: source.label, windowId: source.windowId, visible: Boolean(source.visible) };
      return invoke("kelvo.view.setVisible", payload).then(viewHandle);
    },
    focus: function (options) {
      return invoke("kelvo.view.focus", viewSelectorPayload(options)).then(viewHandle);
    },
    focusNext: function (options) {
      return invoke("kelvo.view.focusNext", { windowId: orEmpty(options).windowId }).then(viewHandle);
    },
    focusPrevious: function (options) {
      return invoke("kelvo.view.focusPrevious", { windowId: orEmpty(options).windowId }).then(viewHandle);
    },
    close: function (options) {
      return invoke("kelvo.view.close", viewSelectorPayload(options));
    },
  });

  Object.defineProperty(window, "vexa", {
    value: Object.freeze({
      invoke: invoke,
      on: on,
      off: off,
      commands: commands,
      windows: windows,
      dialogs: dialogs,
      clipboard: clipboard,
      os: os,
      credentials: credentials,
      platform: platform,
      webviews: webviews,
      views: views,
      _complete: complete,
      _emit: emit,
      _keysAhead: keysAhead,
    }),
    configurable: false,
  });
})
