// Kalvane viewer: shows a turntable data movie as an object the visitor
// turns. One file, no framework; it reads the SWF data movie itself.
// The lines below are the design's choices; the design export rewrites them.
var help = "true";
var themeColor = "#c0392b";
var bgcolor = "#ffffff";
// Seconds one turn takes, by itself or on the play button: slow enough to
// follow the object round.
var turnSeconds = "6";
// Turning by itself: at all, one turn only, stopped for good by the
// visitor's first touch or drag, again after this many idle seconds (0:
// never). Never where the visitor asks for reduced motion.
var autoplay = "true";
var spinOnce = "true";
var stopOnTouch = "true";
var resumeAfter = "0";
// "near": the movie loads as the viewer comes near the screen; "click":
// when the visitor clicks its poster.
var loadOn = "near";
// Files of the page set beside the movie: its first frame, shown at once,
// and the same turn twice as wide, loaded for zooming in (empty: none).
var poster = "";
var largeMovie = "";

(function () {
  "use strict";

  // ---- settings ------------------------------------------------------------

  // Colours arrive with or without "#" (the export strips it).
  function colour(value, fallback) {
    var v = String(value == null ? "" : value).trim();
    if (/^#?([0-9a-f]{3}|[0-9a-f]{4}|[0-9a-f]{6}|[0-9a-f]{8})$/i.test(v)) {
      return v.charAt(0) === "#" ? v : "#" + v;
    }
    if (v && window.CSS && CSS.supports && CSS.supports("color", v)) return v;
    return fallback;
  }
  function setting(value, fallback) { return String(typeof value === "undefined" ? fallback : value); }
  var HELP = setting(typeof help === "undefined" ? undefined : help, "true") === "true";
  var AUTOPLAY = setting(typeof autoplay === "undefined" ? undefined : autoplay, "true") === "true";
  var SPIN_ONCE = setting(typeof spinOnce === "undefined" ? undefined : spinOnce, "true") === "true";
  var STOP_ON_TOUCH = setting(typeof stopOnTouch === "undefined" ? undefined : stopOnTouch, "true") === "true";
  var RESUME_AFTER = Math.max(0, Number(setting(typeof resumeAfter === "undefined" ? undefined : resumeAfter, "0")) || 0);
  var TURN_SECONDS = Math.max(1, Math.min(60, Number(setting(typeof turnSeconds === "undefined" ? undefined : turnSeconds, "6")) || 6));
  var LOAD_ON_CLICK = setting(typeof loadOn === "undefined" ? undefined : loadOn, "near") === "click";
  var POSTER = setting(typeof poster === "undefined" ? undefined : poster, "");
  var LARGE_MOVIE = setting(typeof largeMovie === "undefined" ? undefined : largeMovie, "");
  // The movie starts loading once the viewer is this close to the screen.
  var NEAR = "400px";
  // Zoomed in further than this, the sharper movie is worth its bytes.
  var SHARP_ZOOM = 1.5;
  var ACCENT = colour(typeof themeColor === "undefined" ? "" : themeColor, "#c0392b");
  var BACKGROUND = colour(typeof bgcolor === "undefined" ? "" : bgcolor, "#ffffff");

  // What the visitor's device has, decided when the page opens: a touch
  // screen as the main pointer speaks of swipes and pinches; a mouse of
  // drags, the wheel and double-clicks, and keys, since a keyboard comes
  // with it (rarely with a phone).
  var TOUCH = !!(window.matchMedia && matchMedia("(pointer: coarse)").matches);
  // The bubble beside the buttons says the least, so it fits there on a phone.
  var WORDS = TOUCH ? {
    help: "スワイプで回転 ・ ピンチまたはダブルタップで拡大",
    helpEn: "Swipe to turn · pinch or double-tap to zoom",
    bubble: "スワイプで回転・ピンチで拡大",
    hint: "スワイプで回転 ・ ピンチまたはダブルタップで拡大 ・ ⤢ で全画面"
  } : {
    help: "ドラッグまたは ← → キーで回転 ・ ダブルクリックで拡大",
    helpEn: "Drag or ← → keys to turn · double-click to zoom",
    bubble: "ドラッグで回転・ダブルクリックで拡大",
    hint: "ドラッグまたは ← → キーで回転 ・ ダブルクリックで拡大（選択中はホイールでも） ・ ⤢ で全画面"
  };

  var TEXT = {
    help: WORDS.help,
    helpEn: WORDS.helpEn,
    start: "360°ビューを表示",
    close: "閉じる",
    play: "再生",
    pause: "停止",
    zoomIn: "拡大",
    zoomOut: "縮小",
    fullscreen: "全画面",
    helpButton: "操作方法",
    loading: "読み込み中",
    label: "360°ビュー",
    fileProtocol: "このページはディスクから直接開かれているため、ブラウザがデータファイルを読み込めません。" +
      "Webサーバーに置いて開くか、Kalvane から開いてください。",
    fileProtocolEn: "This page was opened straight from disk, so the browser will not let it read its data file. " +
      "Put the folder on a web server, or open it from Kalvane.",
    failed: "データファイルを読み込めませんでした",
    noFrames: "データファイルに画像がありません",
    broken: "データファイルが壊れています",
    truncated: "データファイルが途中で終わっています（{n} 枚まで読めました）",
    badFrame: "{n} 枚目の画像を表示できません。データファイルが壊れています",
    tooManyFrames: "データファイルの画像が多すぎます（表示できるのは {max} 枚までです）",
    tooLarge: "データファイルが大きすぎるため表示できません",
    frameTooLarge: "{n} 枚目の画像が大きすぎるため表示できません（{w}×{h} ピクセル）"
  };

  // A tag larger than this is not a frame of ours or anyone's; refusing it
  // keeps a damaged length from making the page hold gigabytes.
  var MAX_TAG = 64 * 1048576;

  // What a movie may ask of the visitor's browser. Data movies hold at most
  // 1000 frames of at most 2500 pixels a side; past these limits a movie is
  // refused before it can make the page slow or large.
  var MAX_FRAMES = 1000;
  // Ours take five tags a frame; a movie of many more is padding.
  var MAX_TAGS = 64 * MAX_FRAMES;
  // About 2.7 times the largest frame of ours; one decoded frame then takes
  // at most 64 MiB (a 16384-pixel square would take a gigabyte).
  var MAX_PIXELS = 4096 * 4096;
  // Photographs hardly compress, so a compressed movie inflates to little
  // more than its own size. One that inflates past this many times its
  // compressed bytes (after a start that small movies may need) holds
  // padding, not photographs.
  var MAX_INFLATION = 16;
  var INFLATION_START = 8 * 1048576;
  // The inflater gets compressed bytes in pieces this small: one piece can
  // become at most about a thousand times as many bytes before the limit
  // above is checked again.
  var INFLATE_PIECE = 4096;

  // Decoded frames are kept up to this many bytes: less where the device
  // says it has little memory (phones kill tabs that take too much).
  var CACHE_BYTES = (function () {
    var gb = navigator.deviceMemory;
    return (gb ? Math.max(48, Math.min(384, gb * 48)) : 192) * 1048576;
  })();

  // An error whose text is shown to the visitor as it is.
  function movieError(text) {
    var e = new Error(text);
    e.shown = true;
    return e;
  }

  // ---- SWF reading -----------------------------------------------------------

  // Bytes that grow as they arrive; tags are read once complete.
  function Buffer() {
    this.data = new Uint8Array(1 << 16);
    this.length = 0;
  }
  Buffer.prototype.append = function (chunk) {
    if (this.length + chunk.length > this.data.length) {
      var size = this.data.length;
      while (size < this.length + chunk.length) size *= 2;
      var grown = new Uint8Array(size);
      grown.set(this.data.subarray(0, this.length));
      this.data = grown;
    }
    this.data.set(chunk, this.length);
    this.length += chunk.length;
  };

  function u16(d, p) { return d[p] | (d[p + 1] << 8); }
  function u32(d, p) { return (d[p] | (d[p + 1] << 8) | (d[p + 2] << 16)) + d[p + 3] * 16777216; }

  // Reads bits most significant first.
  function Bits(d, p) { this.d = d; this.p = p; this.bit = 0; }
  Bits.prototype.u = function (n) {
    var v = 0;
    for (var i = 0; i < n; i++) {
      var b = (this.d[this.p] >> (7 - this.bit)) & 1;
      v = v * 2 + b;
      if (++this.bit === 8) { this.bit = 0; this.p++; }
    }
    return v;
  };
  Bits.prototype.align = function () { if (this.bit) { this.bit = 0; this.p++; } return this.p; };
  function rectEnd(d, p) { var b = new Bits(d, p); var n = b.u(5); b.u(4 * n); return b.align(); }
  function matrixEnd(d, p) {
    var b = new Bits(d, p);
    if (b.u(1)) { b.u(b.u(5) * 2); }
    if (b.u(1)) { b.u(b.u(5) * 2); }
    b.u(b.u(5) * 2);
    return b.align();
  }

  // One JPEG stream out of the ways writers have stored it: doubled start
  // or end markers, the old FF D9 FF D8 prefix, an end and start pair
  // between the tables and the image.
  function cleanJpeg(d) {
    var s = 0, e = d.length;
    if (e - s >= 4 && d[0] === 0xFF && d[1] === 0xD9 && d[2] === 0xFF && d[3] === 0xD8) s = 2;
    while (e - s >= 4 && d[s] === 0xFF && d[s + 1] === 0xD8 && d[s + 2] === 0xFF && d[s + 3] === 0xD8) s += 2;
    while (e - s >= 4 && d[e - 4] === 0xFF && d[e - 3] === 0xD9 && d[e - 2] === 0xFF && d[e - 1] === 0xD9) e -= 2;
    var out = d.subarray(s, e);
    // walk the segments before the scan and drop an inner FF D9 FF D8
    var p = 2, parts = [], from = 0;
    while (p + 4 <= out.length && out[p] === 0xFF) {
      var m = out[p + 1];
      if (m === 0xD9 && out[p + 2] === 0xFF && out[p + 3] === 0xD8) {
        parts.push(out.subarray(from, p)); from = p + 4; p += 4; continue;
      }
      if (m === 0xDA || m === 0xD9) break;
      if (m === 0xFF) { p++; continue; }
      p += 2 + ((out[p + 2] << 8) | out[p + 3]);
    }
    if (!parts.length) return out;
    parts.push(out.subarray(from));
    var total = 0, i;
    for (i = 0; i < parts.length; i++) total += parts[i].length;
    var joined = new Uint8Array(total), at = 0;
    for (i = 0; i < parts.length; i++) { joined.set(parts[i], at); at += parts[i].length; }
    return joined;
  }

  function be16(d, p) { return (d[p] << 8) | d[p + 1]; }
  function be32(d, p) { return d[p] * 16777216 + ((d[p + 1] << 16) | (d[p + 2] << 8) | d[p + 3]); }

  // The picture's size from its header, before anything decodes it; null
  // when the header does not read cleanly (a decoder that skips damage
  // might find another size further on). Bitmap tags hold JPEG, and since
  // version 8 of the format PNG or GIF.
  function pictureSize(d) {
    var n = d.length;
    if (n >= 24 && d[0] === 0x89 && d[1] === 0x50 && d[2] === 0x4E && d[3] === 0x47) {
      return { w: be32(d, 16), h: be32(d, 20) };
    }
    if (n >= 13 && d[0] === 0x47 && d[1] === 0x49 && d[2] === 0x46) return gifSize(d);
    if (n < 4 || d[0] !== 0xFF || d[1] !== 0xD8) return null;
    var p = 2, size = null;
    while (p + 4 <= n) {
      if (d[p] !== 0xFF) return null;
      var m = d[p + 1];
      if (m === 0xFF) { p++; continue; }                               // fill
      if (m === 0x01 || (m >= 0xD0 && m <= 0xD8)) { p += 2; continue; }  // no length
      if (m === 0xDA) return size;                                     // the scan
      if (m === 0xD9) return null;
      var length = be16(d, p + 2);
      if (length < 2) return null;
      if (m >= 0xC0 && m <= 0xCF && m !== 0xC4 && m !== 0xC8 && m !== 0xCC) {
        if (size || p + 9 > n) return null;
        size = { w: be16(d, p + 7), h: be16(d, p + 5) };
      }
      p += 2 + length;
    }
    return null;
  }

  // A GIF's screen, grown to cover every image it places, so that no
  // decoder's idea of its size is larger.
  function gifSize(d) {
    var w = u16(d, 6), h = u16(d, 8), p = 13, n = d.length;
    if (d[10] & 0x80) p += 3 << ((d[10] & 7) + 1);
    while (p < n && d[p] !== 0x3B) {
      if (d[p] === 0x2C) {
        if (p + 10 > n) return null;
        w = Math.max(w, u16(d, p + 1) + u16(d, p + 5));
        h = Math.max(h, u16(d, p + 3) + u16(d, p + 7));
        p += 10 + (d[p + 9] & 0x80 ? 3 << ((d[p + 9] & 7) + 1) : 0) + 1;
      } else if (d[p] === 0x21) {
        p += 2;
      } else {
        return null;
      }
      while (p < n && d[p]) p += d[p] + 1;  // data sub-blocks
      p++;
    }
    return { w: w, h: h };
  }

  // Refuses frame n before it is decoded when it is too large to decode
  // safely or its header cannot be read.
  function checkPicture(d, n) {
    var size = pictureSize(d);
    if (!size || !size.w || !size.h) throw movieError(TEXT.badFrame.replace("{n}", n));
    if (size.w * size.h > MAX_PIXELS) {
      throw movieError(TEXT.frameTooLarge.replace("{n}", n).replace("{w}", size.w).replace("{h}", size.h));
    }
  }

  function tooManyFrames() { return movieError(TEXT.tooManyFrames.replace("{max}", MAX_FRAMES)); }

  // Reads the tag sequence as it arrives. Each JPEG is handed on as soon as
  // its tag is complete (data movies define every bitmap before the first
  // frame, so waiting for the frames would show nothing until the end). At
  // the end the frame order is checked against the placements: the bitmap
  // filling the character shown at the lowest depth in each frame. Movies
  // without placements keep their bitmaps' order.
  function MovieReader(onBitmap, onOrder) {
    this.buf = new Buffer();
    this.pos = -1;          // where the next tag starts; -1 before the header
    this.dropped = 0;       // bytes read and let go from the buffer's front
    this.limit = Infinity;  // the body's length, from the file header
    this.allowed = function () { return Infinity; };  // bytes the download justifies
    this.tags = 0;
    this.showFrames = 0;
    this.frameCount = 0;
    this.bitmaps = {};      // character id -> Blob
    this.bitmapOrder = [];
    this.shapeFill = {};    // shape id -> bitmap id
    this.depths = {};       // depth -> character id
    this.order = [];        // bitmap id shown in each frame
    this.done = false;
    this.onBitmap = onBitmap;
    this.onOrder = onOrder;
  }
  // The movie's length from its header, less the 8 bytes before the body.
  MovieReader.prototype.setLength = function (fileLength) {
    if (fileLength < 8 + 13) throw movieError(TEXT.broken);
    this.limit = fileLength - 8;
  };
  MovieReader.prototype.feed = function (chunk) {
    if (this.done) return;
    var total = this.dropped + this.buf.length + chunk.length;
    if (total > this.limit) throw movieError(TEXT.broken);
    if (total > this.allowed()) throw movieError(TEXT.tooLarge);
    this.buf.append(chunk);
    var d = this.buf.data, len = this.buf.length;
    if (this.pos < 0) {
      // the frame rectangle (its size is in its first 5 bits), rate, count
      if (len < 1) return;
      var p = Math.ceil((5 + 4 * (d[0] >> 3)) / 8);
      if (p + 4 > len) return;
      this.frameCount = u16(d, p + 2);
      this.pos = p + 4;
    }
    while (!this.done && this.pos + 2 <= len) {
      var head = u16(d, this.pos), code = head >> 6, size = head & 63, body = this.pos + 2;
      if (size === 63) {
        if (this.pos + 6 > len) break;
        size = u32(d, this.pos + 2);
        body = this.pos + 6;
      }
      if (size > MAX_TAG || this.dropped + body + size > this.limit) throw movieError(TEXT.broken);
      if (body + size > len) break;
      this.tag(code, d, body, size);
      this.pos = body + size;
    }
    // Tags read are copied out; drop their bytes so a long movie is not held
    // twice.
    if (this.pos > 0 && this.pos > this.buf.length / 2) {
      this.buf.data.copyWithin(0, this.pos, this.buf.length);
      this.buf.length -= this.pos;
      this.dropped += this.pos;
      this.pos = 0;
    }
  };
  MovieReader.prototype.tag = function (code, d, p, size) {
    if (code === 0) { this.finish(); return; }
    if (++this.tags > MAX_TAGS) throw movieError(TEXT.tooLarge);
    if (code === 21 || code === 35 || code === 6) {
      var id = u16(d, p), start = p + 2, end = p + size;
      if (code === 35) { end = Math.min(end, start + 4 + u32(d, start)); start += 4; }
      if (this.bitmapOrder.length >= MAX_FRAMES) throw tooManyFrames();
      var jpeg = cleanJpeg(d.slice(start, end));
      checkPicture(jpeg, this.bitmapOrder.length + 1);
      this.bitmaps[id] = new Blob([jpeg], { type: "image/jpeg" });
      this.bitmapOrder.push(id);
      this.onBitmap(this.bitmaps[id]);
    } else if (code === 2 || code === 22 || code === 32 || code === 83) {
      var shape = u16(d, p), q = rectEnd(d, p + 2);
      if (code === 83) q = rectEnd(d, q) + 1;
      var count = d[q++];
      if (count === 0xFF && code !== 2) { count = u16(d, q); q += 2; }
      for (var i = 0; i < count && q < p + size; i++) {
        var type = d[q++];
        if (type >= 0x40 && type <= 0x43) { this.shapeFill[shape] = u16(d, q); break; }
        if (type === 0) { q += code === 32 || code === 83 ? 4 : 3; continue; }
        break;  // gradients: nothing more to learn here
      }
    } else if (code === 26) {
      var flags = d[p], depth = u16(d, p + 1);
      if (flags & 2) this.depths[depth] = u16(d, p + 3);
    } else if (code === 5 || code === 28) {
      delete this.depths[u16(d, p + (code === 5 ? 2 : 0))];
    } else if (code === 1) {
      if (++this.showFrames > MAX_FRAMES) throw tooManyFrames();
      var depths = Object.keys(this.depths).map(Number).sort(function (a, b) { return a - b; });
      var shown = depths.length ? this.depths[depths[0]] : undefined;
      var bitmap = this.shapeFill[shown] !== undefined ? this.shapeFill[shown] : shown;
      if (this.bitmaps[bitmap]) this.order.push(bitmap);
    }
  };
  MovieReader.prototype.finish = function () {
    if (this.done) return;
    this.done = true;
    var same = this.order.length === this.bitmapOrder.length;
    for (var i = 0; same && i < this.order.length; i++) same = this.order[i] === this.bitmapOrder[i];
    if (this.order.length && !same) {
      var self = this;
      this.onOrder(this.order.map(function (id) { return self.bitmaps[id]; }));
    }
  };
  MovieReader.prototype.frames = function () {
    return this.order.length || this.bitmapOrder.length;
  };

  // Fetches the movie and feeds the reader as bytes arrive; compressed
  // movies go through the browser's own inflater, a small piece at a time,
  // so a movie that inflates too far is stopped there rather than inflated
  // first. Between bursts of reading the page gets its turn to draw and to
  // answer the visitor.
  function loadMovie(url, reader, onBytes) {
    return fetch(url).then(function (response) {
      if (!response.ok) throw new Error(response.status + " " + response.statusText);
      var total = Number(response.headers.get("content-length")) || 0;
      var raw = response.body.getReader(), head = new Uint8Array(0), got = 0;
      function readHead() {
        return raw.read().then(function (r) {
          if (r.done) throw new Error("not a SWF movie");
          got += r.value.length;
          onBytes(got, total);
          var joined = new Uint8Array(head.length + r.value.length);
          joined.set(head); joined.set(r.value, head.length); head = joined;
          return head.length >= 8 ? head : readHead();
        });
      }
      return readHead().then(function (first) {
        var sig = String.fromCharCode(first[0], first[1], first[2]);
        if (sig !== "FWS" && sig !== "CWS") throw new Error("not a SWF movie");
        reader.setLength(u32(first, 4));
        var compressed = sig === "CWS";
        if (compressed) {
          reader.allowed = function () { return MAX_INFLATION * Math.max(got, total) + INFLATION_START; };
        }
        var enqueue = function (c, bytes) {
          if (!compressed) { c.enqueue(bytes); return; }
          for (var i = 0; i < bytes.length; i += INFLATE_PIECE) c.enqueue(bytes.subarray(i, i + INFLATE_PIECE));
        };
        var rest = first.subarray(8);
        var body = new ReadableStream({
          start: function (c) { if (rest.length) enqueue(c, rest); },
          pull: function (c) {
            return raw.read().then(function (r) {
              if (r.done) { c.close(); return; }
              got += r.value.length; onBytes(got, total); enqueue(c, r.value);
            });
          },
          cancel: function () { return raw.cancel(); }
        });
        // The inflater's next piece waits until its last one's bytes are read.
        if (compressed) body = body.pipeThrough(new DecompressionStream("deflate"));
        var chunks = body.getReader();
        return new Promise(function (resolve, reject) {
          var burst = performance.now();
          function next() {
            if (performance.now() - burst < 25) { read(); return; }
            setTimeout(function () { burst = performance.now(); read(); }, 0);
          }
          function read() {
            chunks.read().then(function (r) {
              if (r.done) {
                // a movie without its End tag was cut short
                if (!reader.done) throw movieError(TEXT.truncated.replace("{n}", reader.frames()));
                resolve();
                return;
              }
              reader.feed(r.value);
              next();
            }).catch(function (error) {
              // stop inflating and downloading once the movie is refused
              chunks.cancel().catch(function () {});
              raw.cancel().catch(function () {});
              reject(error);
            });
          }
          read();
        });
      });
    });
  }

  // ---- the viewer ------------------------------------------------------------

  // The picture has the stage to itself; the buttons and the help sit in a
  // strip under it (its height is the page set's snippet's too).
  var STRIP = 46;
  var STYLE = "" +
    ".vz{position:relative;display:flex;flex-direction:column;width:100%;background:var(--vz-bg);user-select:none;" +
    "-webkit-user-select:none;outline:none;overflow:hidden;font:13px/1.4 system-ui,sans-serif;border-radius:inherit}" +
    ".vz:focus-visible{box-shadow:0 0 0 3px var(--vz-accent)}" +
    ".vz-stage{position:relative;flex:1 1 auto;min-height:0}" +
    ".vz canvas{display:block;width:100%;height:100%;touch-action:pan-y;cursor:grab}" +
    ".vz.vz-zoomed canvas{touch-action:none;cursor:move}.vz.vz-dragging canvas{cursor:grabbing}" +
    ".vz-strip{flex:none;box-sizing:border-box;height:" + STRIP + "px;display:flex;align-items:center;gap:8px;padding:0 8px}" +
    ".vz-bar{display:flex;gap:6px;margin-left:auto;flex:none}" +
    ".vz-bar button{width:34px;height:34px;border:0;border-radius:50%;background:var(--vz-accent);color:#fff;" +
    "font:600 15px/34px system-ui,sans-serif;cursor:pointer;padding:0}" +
    ".vz-bar button:focus-visible{outline:2px solid #fff;outline-offset:-4px}" +
    ".vz-progress{position:absolute;left:0;bottom:0;height:4px;background:var(--vz-accent);width:0;transition:width .2s}" +
    ".vz-status{position:absolute;left:10px;bottom:12px;padding:2px 8px;border-radius:10px;background:rgba(0,0,0,.55);color:#fff;font-size:12px}" +
    ".vz-message{position:absolute;inset:0;display:flex;align-items:center;justify-content:center;text-align:center;" +
    "padding:16px;background:rgba(0,0,0,.62);color:#fff}" +
    ".vz-help{flex:0 1 auto;min-width:0;display:flex;align-items:center;gap:6px;padding:3px 3px 3px 8px;" +
    "border-radius:6px;background:rgba(0,0,0,.55);color:#fff;font-size:11px;line-height:1.3}" +
    ".vz-help p{margin:0;display:-webkit-box;-webkit-line-clamp:2;-webkit-box-orient:vertical;overflow:hidden}" +
    ".vz-help button{flex:none;border:0;border-radius:4px;width:22px;height:22px;padding:0;background:var(--vz-accent);" +
    "color:#fff;cursor:pointer;font:600 13px/22px system-ui,sans-serif}" +
    ".vz-help[hidden],.vz-message[hidden],.vz-status[hidden]{display:none}" +
    ".vz-message div{max-width:30em}.vz-message p{margin:.4em 0}" +
    ".vz:fullscreen{background:var(--vz-bg)}" +
    ".vz-poster{position:absolute;inset:0;width:100%;height:100%;object-fit:contain;pointer-events:none}" +
    ".vz-poster[hidden]{display:none}" +
    ".vz-start{position:absolute;left:50%;top:50%;transform:translate(-50%,-50%);border:0;border-radius:22px;" +
    "padding:10px 18px;background:var(--vz-accent);color:#fff;font:600 15px/1.2 system-ui,sans-serif;cursor:pointer}";

  function el(tag, cls, parent) {
    var e = document.createElement(tag);
    if (cls) e.className = cls;
    if (parent) parent.appendChild(e);
    return e;
  }

  function Viewer(root, url) {
    var self = this;
    this.root = root;
    this.frames = [];        // Blob per frame
    this.cache = new Map();  // frame -> ImageBitmap or its promise, least recently used first
    this.cacheBytes = 0;     // decoded bytes held by the cache
    this.frameBytes = 0;     // one decoded frame, once one is known
    this.current = 0;
    this.zoom = 1;
    this.panX = 0; this.panY = 0;
    this.aspect = 0;
    this.firstShown = false;
    this.complete = false;
    this.pointers = new Map();
    root.classList.add("vz");
    root.style.setProperty("--vz-accent", ACCENT);
    root.style.setProperty("--vz-bg", BACKGROUND);
    root.tabIndex = 0;
    root.setAttribute("role", "application");
    root.setAttribute("aria-roledescription", "360°");
    if (!root.getAttribute("aria-label")) root.setAttribute("aria-label", TEXT.label);
    root.setAttribute("aria-description", WORDS.help);
    root.dataset.state = "waiting";
    root.dataset.frame = "0";
    root.dataset.frames = "0";
    root.dataset.input = TOUCH ? "touch" : "mouse";
    this.url = url;
    // The page around the viewer gives it its height (an embedded viewer
    // page); otherwise it takes the picture's share of its width.
    this.fill = root.hasAttribute("data-fill");
    this.stage = el("div", "vz-stage", root);
    this.canvas = el("canvas", "", this.stage);
    this.ctx = this.canvas.getContext("2d");
    if (POSTER) {
      this.poster = el("img", "vz-poster", this.stage);
      this.poster.alt = "";
      this.poster.decoding = "async";
      this.poster.addEventListener("load", function () {
        if (!self.aspect && self.poster.naturalWidth) {
          self.aspect = self.poster.naturalHeight / self.poster.naturalWidth;
          self.fit();
        }
      });
      this.poster.src = new URL(POSTER, new URL(url, location.href)).href;
    }
    this.status = el("div", "vz-status", this.stage);
    this.status.textContent = TEXT.loading;
    this.status.hidden = true;
    this.progress = el("div", "vz-progress", this.stage);
    this.strip = el("div", "vz-strip", root);
    if (HELP) {
      this.helpBox = el("div", "vz-help", this.strip);
      this.helpBox.hidden = true;
      this.helpBox.title = TEXT.help + "\n" + TEXT.helpEn;
      el("p", "", this.helpBox).textContent = WORDS.bubble;
      var close = el("button", "", this.helpBox);
      close.type = "button";
      close.textContent = "×";
      close.title = TEXT.close;
      close.setAttribute("aria-label", TEXT.close);
      close.addEventListener("click", function (e) { e.stopPropagation(); self.showHelp(false); });
    }
    var bar = el("div", "vz-bar", this.strip);
    this.playButton = this.button(bar, "▶", TEXT.play, function () { self.togglePlay(); });
    this.button(bar, "−", TEXT.zoomOut, function () { self.setZoom(self.zoom / 1.5); });
    this.button(bar, "+", TEXT.zoomIn, function () { self.setZoom(self.zoom * 1.5); });
    // Inside a frame that does not allow it, full screen is not offered.
    if (root.requestFullscreen && document.fullscreenEnabled !== false) {
      this.button(bar, "⤢", TEXT.fullscreen, function () { self.toggleFullscreen(); });
    }
    if (HELP) {
      this.helpToggle = this.button(bar, "?", TEXT.helpButton, function () { self.showHelp(self.helpBox.hidden); });
    }
    this.message = el("div", "vz-message", root);
    this.message.hidden = true;
    this.fit();
    var refit = function () { self.fit(); self.draw(); };
    if (window.ResizeObserver) new ResizeObserver(refit).observe(root);
    window.addEventListener("resize", refit);
    window.addEventListener("load", refit);
    this.listen();
    if (location.protocol === "file:") { this.fail(TEXT.fileProtocol, TEXT.fileProtocolEn); return; }
    if (LOAD_ON_CLICK) {
      var go = el("button", "vz-start", this.stage);
      go.type = "button";
      go.textContent = "▶ " + TEXT.start;
      go.addEventListener("pointerdown", function (e) { e.stopPropagation(); });
      go.addEventListener("click", function (e) { e.stopPropagation(); go.remove(); self.load(); });
    } else if (window.IntersectionObserver) {
      var seen = new IntersectionObserver(function (entries) {
        if (!entries.some(function (e) { return e.isIntersecting; })) return;
        seen.disconnect();
        self.load();
      }, { rootMargin: NEAR + " 0px" });
      seen.observe(root);
    } else {
      this.load();
    }
  }

  Viewer.prototype.load = function () {
    var self = this, url = this.url;
    if (this.loading) return;
    this.loading = true;
    this.root.dataset.state = "loading";
    this.status.hidden = false;
    var reader = new MovieReader(function (blob) { self.addFrame(blob); },
                                 function (frames) { self.setFrames(frames); });
    loadMovie(url, reader, function (got, total) {
      if (total) self.progress.style.width = Math.min(100, got / total * 100) + "%";
    }).then(function () {
      self.loaded(reader.frames());
    }, function (error) {
      self.fail(error.shown ? error.message : TEXT.failed + " (" + url + ": " + error.message + ")");
    });
  };

  // The sharper movie, once, when the visitor looks closer: its frames take
  // the place of the first movie's, at the frame shown. A movie that fails
  // or does not match leaves the first one in place.
  Viewer.prototype.sharpen = function () {
    if (!LARGE_MOVIE || this.large || !this.complete || this.root.dataset.state === "error") return;
    var self = this, frames = [];
    this.large = "loading";
    this.root.dataset.large = "loading";
    var reader = new MovieReader(function (blob) { frames.push(blob); },
                                 function (ordered) { frames = ordered; });
    loadMovie(new URL(LARGE_MOVIE, new URL(this.url, location.href)).href, reader, function () {}).then(function () {
      if (frames.length !== self.frames.length) throw new Error("another turn");
      self.cache.forEach(function (v) { if (v && v.close) v.close(); });
      self.cache.clear();
      self.cacheBytes = 0;
      self.frameBytes = 0;
      self.frames = frames;
      self.large = "shown";
      self.root.dataset.large = "shown";
      self.draw();
    }).catch(function () {
      self.large = "failed";
      self.root.dataset.large = "failed";
    });
  };

  Viewer.prototype.button = function (bar, text, label, action) {
    var b = el("button", "", bar);
    b.type = "button";
    b.textContent = text;
    b.title = label;
    b.setAttribute("aria-label", label);
    b.addEventListener("click", function (e) { e.stopPropagation(); action(); });
    b.addEventListener("pointerdown", function (e) { e.stopPropagation(); });
    return b;
  };

  Viewer.prototype.fail = function (text, second) {
    this.root.dataset.state = "error";
    this.status.hidden = true;
    this.progress.style.width = "0";
    this.message.hidden = false;
    this.message.textContent = "";
    var box = el("div", "", this.message);
    el("p", "", box).textContent = text;
    if (second) el("p", "", box).textContent = second;
    if (this.helpBox) this.helpBox.hidden = true;
  };

  Viewer.prototype.addFrame = function (blob) {
    var self = this, index = this.frames.length;
    this.frames.push(blob);
    this.root.dataset.frames = String(this.frames.length);
    if (index === 0) {
      this.bitmap(0).then(function (image) {
        if (!image || self.root.dataset.state === "error") return;
        self.aspect = image.height / image.width;
        self.firstShown = true;
        self.fit();
        self.draw();
        if (self.poster) self.poster.hidden = true;
        self.root.dataset.state = self.complete ? "ready" : "first-frame";
        if (self.helpBox && !self.helpDismissed) self.showHelp(true);
      });
    }
  };

  // The placements gave another order than the bitmaps arrived in.
  Viewer.prototype.setFrames = function (frames) {
    this.cache.forEach(function (v) { if (v && v.close) v.close(); });
    this.cache.clear();
    this.cacheBytes = 0;
    this.frames = frames;
    this.current = 0;
    this.root.dataset.frames = String(frames.length);
    this.draw();
  };

  Viewer.prototype.loaded = function (count) {
    this.complete = true;
    this.progress.style.width = "0";
    this.status.hidden = true;
    if (!count) { this.fail(TEXT.noFrames); return; }
    if (this.root.dataset.state !== "error") this.root.dataset.state = this.firstShown ? "ready" : "first-frame";
    if (count > 1 && !this.touched) this.autoplay();
    this.preload();
  };

  // Turning by itself, as the design says; never where reduced motion is asked for.
  Viewer.prototype.autoplay = function () {
    var reduce = window.matchMedia && matchMedia("(prefers-reduced-motion: reduce)").matches;
    if (!AUTOPLAY || reduce || this.frames.length < 2) return;
    this.play(SPIN_ONCE ? this.frames.length : undefined);
    this.auto = true;
  };

  // The visitor took hold: a turn of its own stops (for good, unless it
  // resumes after the idle time), or pauses until let go.
  Viewer.prototype.hold = function () {
    if (this.idle) { clearTimeout(this.idle); this.idle = 0; }
    if (this.auto && this.timer && !STOP_ON_TOUCH) {
      this.stop();
      this.paused = true;
      return;
    }
    this.stop();
  };

  Viewer.prototype.release = function () {
    var self = this;
    if (this.paused) { this.paused = false; this.autoplay(); return; }
    if (RESUME_AFTER > 0 && this.complete && !this.manual) {
      if (this.idle) clearTimeout(this.idle);
      this.idle = setTimeout(function () {
        self.idle = 0;
        if (!self.timer && !self.pointers.size) self.autoplay();
      }, RESUME_AFTER * 1000);
    }
  };

  // Decoded frames are kept for the neighbourhood only, up to a number of
  // bytes, so a movie of many large frames does not fill the memory.
  Viewer.prototype.bitmap = function (i) {
    var self = this, hit = this.cache.get(i);
    if (hit) { this.cache.delete(i); this.cache.set(i, hit); return hit.then ? hit : Promise.resolve(hit); }
    var pending = createImageBitmap(this.frames[i]).then(function (image) {
      if (self.cache.get(i) === pending) {
        var bytes = image.width * image.height * 4;
        self.cache.set(i, image);
        self.cacheBytes += bytes;
        if (!self.frameBytes) self.frameBytes = bytes;
        self.trimCache(i);
      }
      return image;
    }, function () {
      if (self.cache.get(i) === pending) self.cache.delete(i);
      self.badFrame(i);
      return null;
    });
    this.cache.set(i, pending);
    this.trimCache(i);
    return pending;
  };

  // How many frames the byte budget holds (a guess until one is decoded).
  Viewer.prototype.capacity = function () {
    return this.frameBytes ? Math.max(2, Math.floor(CACHE_BYTES / this.frameBytes)) : 4;
  };

  Viewer.prototype.trimCache = function (keep) {
    var it = this.cache.keys();
    while (this.cache.size > 1 && (this.cacheBytes > CACHE_BYTES || this.cache.size > this.capacity())) {
      var oldest = it.next().value;
      if (oldest === undefined) break;
      if (oldest === keep) continue;
      var value = this.cache.get(oldest);
      this.cache.delete(oldest);
      if (value && value.close) {
        this.cacheBytes -= value.width * value.height * 4;
        value.close();
      }
    }
    this.root.dataset.cachedBytes = String(this.cacheBytes);
  };

  // A frame the browser cannot decode: the visitor is told, rather than
  // left with a viewer that skips or freezes.
  Viewer.prototype.badFrame = function (i) {
    if (this.root.dataset.state === "error") return;
    this.stop();
    this.fail(TEXT.badFrame.replace("{n}", i + 1));
  };

  Viewer.prototype.preload = function () {
    var self = this, n = this.frames.length, i = 0;
    var step = function () {
      if (i >= Math.min(n, self.capacity()) || self.root.dataset.state === "error") return;
      var f = (self.current + i++) % n;
      self.bitmap(f).then(function () { (window.requestIdleCallback || setTimeout)(step); });
    };
    step();
  };

  // The viewer's height: the picture's share of its width and the strip,
  // but never more than keeps it inside the screen: below what is above it
  // when it starts on the first screen, with room for what the design wants
  // seen under it (data-fit-gap, in pixels). A filling viewer keeps the
  // height its page gives it.
  Viewer.prototype.fit = function () {
    var width = this.root.clientWidth || 300;
    var aspect = this.aspect || 0.75;
    if (!document.fullscreenElement && !this.fill) {
      var view = window.innerHeight || document.documentElement.clientHeight || 0;
      var strip = this.strip.offsetHeight;
      var height = Math.round(width * aspect);
      if (view) {
        var top = this.root.getBoundingClientRect().top + (window.scrollY || 0);
        var gap = Number(this.root.getAttribute("data-fit-gap")) || 12;
        var room = Math.floor(view - (top < view ? top : 0) - gap - strip);
        height = Math.min(height, Math.max(160, room));
      }
      this.root.style.height = height + strip + "px";
    }
    var ratio = window.devicePixelRatio || 1;
    var w = Math.max(1, Math.round(this.stage.clientWidth * ratio));
    var h = Math.max(1, Math.round(this.stage.clientHeight * ratio));
    if (this.canvas.width !== w || this.canvas.height !== h) { this.canvas.width = w; this.canvas.height = h; }
  };

  Viewer.prototype.draw = function () {
    var self = this, i = this.current;
    if (!this.frames.length) return;
    var hit = this.cache.get(i);
    if (hit && !hit.then) { this.paint(hit); return; }
    this.bitmap(i).then(function (image) { if (image && self.current === i) self.paint(image); });
  };

  Viewer.prototype.paint = function (image) {
    var c = this.canvas, ctx = this.ctx;
    ctx.fillStyle = BACKGROUND;
    ctx.fillRect(0, 0, c.width, c.height);
    var scale = Math.min(c.width / image.width, c.height / image.height) * this.zoom;
    var w = image.width * scale, h = image.height * scale;
    this.clampPan(w, h);
    ctx.imageSmoothingQuality = "high";
    ctx.drawImage(image, (c.width - w) / 2 + this.panX, (c.height - h) / 2 + this.panY, w, h);
    this.root.dataset.frame = String(this.current);
    this.root.dataset.drawn = String(this.current);
  };

  Viewer.prototype.clampPan = function (w, h) {
    var mx = Math.max(0, (w - this.canvas.width) / 2), my = Math.max(0, (h - this.canvas.height) / 2);
    this.panX = Math.max(-mx, Math.min(mx, this.panX));
    this.panY = Math.max(-my, Math.min(my, this.panY));
  };

  Viewer.prototype.turn = function (by) {
    var n = this.frames.length;
    if (!n) return;
    this.current = ((this.current + by) % n + n) % n;
    this.root.dataset.frame = String(this.current);
    this.draw();
  };

  Viewer.prototype.setZoom = function (z, cx, cy) {
    z = Math.max(1, Math.min(6, z));
    if (cx !== undefined) {
      // keep the point under the pointer where it is
      var ratio = window.devicePixelRatio || 1, c = this.canvas;
      var px = cx * ratio - c.width / 2 - this.panX, py = cy * ratio - c.height / 2 - this.panY;
      this.panX -= px * (z / this.zoom - 1);
      this.panY -= py * (z / this.zoom - 1);
    }
    this.zoom = z;
    if (z > SHARP_ZOOM) this.sharpen();
    if (z === 1) { this.panX = 0; this.panY = 0; }
    this.root.classList.toggle("vz-zoomed", z > 1);
    this.draw();
  };

  Viewer.prototype.stop = function () {
    this.touched = true;
    this.auto = false;
    if (this.timer) { clearInterval(this.timer); this.timer = 0; }
    this.root.dataset.playing = "0";
    this.playButton.textContent = "▶";
    this.playButton.title = TEXT.play;
    this.playButton.setAttribute("aria-label", TEXT.play);
  };

  Viewer.prototype.play = function (frames) {
    var self = this, left = frames;
    if (this.timer) clearInterval(this.timer);
    this.root.dataset.playing = "1";
    this.playButton.textContent = "❚❚";
    this.playButton.title = TEXT.pause;
    this.playButton.setAttribute("aria-label", TEXT.pause);
    this.timer = setInterval(function () {
      self.turn(1);
      if (left !== undefined && --left <= 0) { self.stop(); self.touched = false; }
    }, Math.max(40, Math.min(1000, TURN_SECONDS * 1000 / Math.max(this.frames.length, 1))));
  };

  Viewer.prototype.togglePlay = function () {
    // The visitor's own choice: no turn of its own comes back after it.
    this.manual = true;
    if (this.idle) { clearTimeout(this.idle); this.idle = 0; }
    if (this.timer) this.stop(); else this.play();
  };

  // The help comes with the first frame and goes at the first interaction.
  Viewer.prototype.showHelp = function (on) {
    if (!this.helpBox) return;
    if (!on) this.helpDismissed = true;
    this.helpBox.hidden = !on;
    this.root.dataset.help = on ? "shown" : "hidden";
  };

  Viewer.prototype.toggleFullscreen = function () {
    if (document.fullscreenElement) document.exitFullscreen();
    else this.root.requestFullscreen().catch(function () {});
  };

  Viewer.prototype.listen = function () {
    var self = this, root = this.root, canvas = this.canvas;
    var stepPx = function () { return Math.max(3, Math.min(40, root.clientWidth / Math.max(self.frames.length, 1))); };
    var carry = 0, pinch = 0;
    // Any touch or click in the viewer but on "?" puts the help away; seen
    // first, before the buttons keep it to themselves.
    root.addEventListener("pointerdown", function (e) {
      if (!self.helpToggle || !self.helpToggle.contains(e.target)) self.showHelp(false);
    }, true);
    canvas.addEventListener("pointerdown", function (e) {
      if (e.button !== 0 && e.pointerType === "mouse") return;
      self.hold();
      root.focus({ preventScroll: true });
      canvas.setPointerCapture(e.pointerId);
      self.pointers.set(e.pointerId, { x: e.clientX, y: e.clientY });
      root.classList.add("vz-dragging");
      if (self.pointers.size === 2) pinch = distance();
    });
    function distance() {
      var p = Array.from(self.pointers.values());
      return Math.hypot(p[0].x - p[1].x, p[0].y - p[1].y) || 1;
    }
    canvas.addEventListener("pointermove", function (e) {
      var last = self.pointers.get(e.pointerId);
      if (!last) return;
      var dx = e.clientX - last.x, dy = e.clientY - last.y;
      last.x = e.clientX; last.y = e.clientY;
      if (self.pointers.size === 2) {
        var now = distance();
        self.setZoom(self.zoom * now / pinch);
        pinch = now;
        return;
      }
      if (self.zoom > 1) {
        var ratio = window.devicePixelRatio || 1;
        self.panX += dx * ratio; self.panY += dy * ratio;
        self.draw();
        return;
      }
      carry += dx;
      var step = stepPx(), frames = Math.trunc(carry / step);
      if (frames) { carry -= frames * step; self.turn(-frames); }
    });
    // A double tap zooms as a double click does; the browser's own
    // double click after it is not a second one.
    var lastTap = null, tapZoomed = 0;
    var end = function (e) {
      if (!self.pointers.has(e.pointerId)) return;
      self.pointers.delete(e.pointerId);
      if (!self.pointers.size) { root.classList.remove("vz-dragging"); carry = 0; self.release(); }
      if (e.type !== "pointerup" || e.pointerType !== "touch") return;
      var now = performance.now();
      if (lastTap && now - lastTap.t < 350 && Math.hypot(e.clientX - lastTap.x, e.clientY - lastTap.y) < 30) {
        var r = canvas.getBoundingClientRect();
        self.setZoom(self.zoom > 1 ? 1 : 2.5, e.clientX - r.left, e.clientY - r.top);
        tapZoomed = now;
        lastTap = null;
      } else {
        lastTap = { t: now, x: e.clientX, y: e.clientY };
      }
    };
    canvas.addEventListener("pointerup", end);
    canvas.addEventListener("pointercancel", end);
    canvas.addEventListener("dblclick", function (e) {
      if (performance.now() - tapZoomed < 600) return;
      var r = canvas.getBoundingClientRect();
      self.setZoom(self.zoom > 1 ? 1 : 2.5, e.clientX - r.left, e.clientY - r.top);
    });
    // The wheel zooms only once the viewer is selected, so the page still
    // scrolls past it.
    canvas.addEventListener("wheel", function (e) {
      if (document.activeElement !== root && !document.fullscreenElement) return;
      e.preventDefault();
      self.showHelp(false);
      var r = canvas.getBoundingClientRect();
      self.setZoom(self.zoom * (e.deltaY < 0 ? 1.15 : 1 / 1.15), e.clientX - r.left, e.clientY - r.top);
    }, { passive: false });
    root.addEventListener("keydown", function (e) {
      var handled = true;
      if (e.key !== "Tab" && e.target !== self.helpToggle) self.showHelp(false);
      if (e.key === "ArrowLeft") { self.hold(); self.turn(-1); self.release(); }
      else if (e.key === "ArrowRight") { self.hold(); self.turn(1); self.release(); }
      else if (e.key === "+" || e.key === "=") self.setZoom(self.zoom * 1.5);
      else if (e.key === "-") self.setZoom(self.zoom / 1.5);
      else if (e.key === " " && e.target === root) self.togglePlay();
      else if (e.key === "Escape") { self.showHelp(false); self.setZoom(1); }
      else if (e.key === "Home") { self.hold(); self.turn(-self.current); self.release(); }
      else handled = false;
      if (handled) e.preventDefault();
    });
    document.addEventListener("fullscreenchange", function () {
      if (document.fullscreenElement === root) self.sharpen();
      self.fit();
      self.draw();
    });
  };

  function start() {
    var roots = document.querySelectorAll("[data-velzoom]");
    // The page's own hints speak as the viewer's do.
    var hints = document.querySelectorAll("[data-vz-hint]");
    for (var h = 0; h < hints.length; h++) hints[h].textContent = WORDS.hint;
    if (!document.getElementById("vz-style")) {
      var style = document.createElement("style");
      style.id = "vz-style";
      style.textContent = STYLE;
      document.head.appendChild(style);
    }
    for (var i = 0; i < roots.length; i++) {
      if (!roots[i].velzoom) roots[i].velzoom = new Viewer(roots[i], roots[i].getAttribute("data-velzoom") || "veldata.swf");
    }
  }
  if (document.readyState === "loading") document.addEventListener("DOMContentLoaded", start);
  else start();
})();
