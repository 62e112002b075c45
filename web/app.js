// The web player: joins the room that served this page over a WebSocket on
// the same host and port, and plays as the player's program does. One
// WebSocket text message is one line of the game protocol without CR LF.
// Everything that comes from the network is shown as text, never as markup.
'use strict';
(() => {
  // ---- Texts (the same words as the player's program)
  const T = {
    enterName: '名前を入力してください',
    versionLine: 'ゼンブリル Ver.1.16',
    connecting: 'サーバーに接続中...',
    connected: 'サーバーに接続しました',
    cannotConnect: [
      'サーバーに接続できませんでした',
      'サーバーが立っていない可能性があります',
      'サーバーの指定ポートが空いて居ない可能性があります',
      '詳細はサーバーの設置者に問い合わせてください',
    ],
    disconnected: '切断されました',
    notConnected: '接続されていません',
    unknownError: '原因不明のエラーが発生しました、放置します',
    badCommand: '不正なコマンドを受信しました、放置します',
    floodDisconnect: '連続チャット・クリア・塗りつぶししすぎにつき切断',
    idleWarning: 'あと1分操作がないと切断されます',
    idleDisconnect: '10分間操作がされなかったので切断します',
    wrongVersion: 'バージョンを合わせてください',
    wrongPassword: 'パスワードが違います',
    backToWaiting: '待機状態に戻ります',
    pressReady: '次のゲームを開始するには、準備完了ボタンを押してください',
    drawerTurn: (n) => n + ' の番です！絵を描いてください（お題の文字を書いてはいけません）',
    guessersTurn: (n) => '他の人は ' + n + ' の描いた絵をひらがなで発言してください',
    question: 'お題',
    hiddenWord: '？？？',
    emptySeat: '空き',
    ready: '準備完了',
    versionMismatch: 'Ver違い',
    passwordMismatch: 'パス違い',
    notReady: '準備中',
    ownMark: '（自分）',
    confirmDisconnect: '本当に切断してよろしいですか？',
    chatModeSuffix: '  「お絵かきチャットモード」.png',
    offlineSuffix: '  「ひとりで描いた絵」.png',
    pictureSaved: (n) => '[' + n + ']を保存しました',
    cannotSave: 'この絵は保存できません！',
    gameFinished: 'ゲーム終了',
    gameCutShort: 'ゲームは途中で終わりました',
    winnerLabel: '優勝者： ',
    noWinner: '優勝者なし',
    rankCell: (r) => r + '位',
    noPictures: '絵はありません',
    clickToEnlarge: '絵をクリックすると大きく表示します',
    pictureCaption: (turn, drawer, word) => turn + '回目 ' + drawer + '\n「' + word + '」',
    savePicture: '画像を保存',
    // Sent by the room and recognised here.
    winnerPrefix: '優勝者は ',
    winnerSuffix: ' でした！おめでとう！',
    noWinnerNotice: '今回は優勝者がいませんでした',
    nextTurnNotice: /^(?:5|10)秒後に(\d{1,6})回目のゲームが始まります/,
  };

  const VERSION = '1.16';
  const SLOTS = 8;
  const PALETTE = [0, 16777215, 255, 33023, 65535, 65280, 16776960, 16711680, 16711935];
  const PEN_WIDTHS = [3, 8, 16, 28];
  const MAX_STROKE_POINTS = 5000;
  const TURN_SECONDS = 120;
  const MAX_NAME = 12;
  const MAX_PASSWORD = 8;
  const CONNECT_TIMEOUT_MS = 5000;
  const IDLE_LIMIT = 600;
  const IDLE_WARNING = IDLE_LIMIT - 60;
  const SEND_LIMIT = 5;
  const LOG_MAX = 10000;
  const LOG_KEEP = 9000;
  const GALLERY_MAX = 64;
  const GALLERY_BYTES = 8 * 1024 * 1024;
  const W = 640;
  const H = 480;

  const $ = (id) => document.getElementById(id);

  // ---- Text helpers

  const isControl = (c) => c < 0x20 || c === 0x7f;
  function removeControlChars(text) {
    let out = '';
    for (const ch of text) if (!isControl(ch.codePointAt(0))) out += ch;
    return out;
  }

  // The separators of the game's and the lobby's lists never go into a name.
  function cleanPlayerName(name) {
    let out = '';
    for (const ch of name) {
      if (isControl(ch.codePointAt(0)) || ':;,=&'.includes(ch)) continue;
      out += ch;
    }
    return out.trim().split('ZBSERVER').join('zbserver');
  }

  // Code page 932 as the room writes it. The browser's Shift_JIS decoder
  // gives the JIS forms of a few signs where the room's table has the
  // full-width ones; typed text is mapped the same way before it is checked.
  const VARIANTS = new Map([
    ['\u301C', '\uFF5E'], ['\u2016', '\u2225'], ['\u2212', '\uFF0D'], ['\u00A2', '\uFFE0'],
    ['\u00A3', '\uFFE1'], ['\u00AC', '\uFFE2'], ['\u2014', '\u2015'],
  ]);
  let cp932Chars = null;
  function cp932Set() {
    if (cp932Chars) return cp932Chars;
    const bytes = [];
    for (let lead = 0x81; lead <= 0xfc; lead++) {
      if ((lead >= 0xa0 && lead <= 0xdf) || (lead >= 0xf0 && lead <= 0xf9)) continue;
      for (let trail = 0x40; trail <= 0xfc; trail++) if (trail !== 0x7f) bytes.push(lead, trail);
    }
    const set = new Set();
    try {
      const text = new TextDecoder('shift_jis').decode(new Uint8Array(bytes));
      for (const ch of text) if (ch !== '\uFFFD') set.add(VARIANTS.get(ch) || ch);
    } catch (e) {
      // Without the decoder only ASCII and half-width katakana pass.
    }
    cp932Chars = set;
    return set;
  }
  // Text as it can travel: every character code page 932 lacks becomes "?",
  // so the room never has to refuse a line typed here.
  function toWireText(text) {
    const set = cp932Set();
    let out = '';
    for (let ch of text) {
      ch = VARIANTS.get(ch) || ch;
      const c = ch.codePointAt(0);
      const ok = c < 0x80 || (c >= 0xff61 && c <= 0xff9f) || set.has(ch);
      out += ok ? ch : '?';
    }
    return out;
  }

  // A whole decimal number as the room writes it; null when it is not one.
  function readInt(text, min, max) {
    const s = text.trim();
    if (!/^[+-]?\d+$/.test(s)) return null;
    const v = Number(s);
    return v >= min && v <= max ? v : null;
  }
  const readInt32 = (text) => readInt(text, -2147483648, 2147483647);
  function readNumber(text) {
    const s = text.trim();
    if (!/^[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?$/.test(s)) return null;
    const v = Number(s);
    return Number.isFinite(v) ? v : null;
  }
  const clamp = (v, lo, hi) => Math.min(hi, Math.max(lo, v));
  const pad2 = (n) => String(n).padStart(2, '0');
  const clockStamp = (d) => pad2(d.getHours()) + ':' + pad2(d.getMinutes());
  const fileStamp = (d) =>
    d.getFullYear() + pad2(d.getMonth() + 1) + pad2(d.getDate()) + '-' + pad2(d.getHours()) +
    pad2(d.getMinutes()) + pad2(d.getSeconds());

  function safeFileName(text) {
    const map = {
      '\\': '\uFFE5', '/': '\uFF0F', ':': '\uFF1A', ',': '\u3001', ';': '\uFF1B', '*': '\u203B',
      '?': '\uFF1F', '"': '', '<': '\uFF1C', '>': '\uFF1E', '|': '\uFF5C', '\u201D': '',
    };
    let out = '';
    for (const ch of text) {
      if (isControl(ch.codePointAt(0))) continue;
      out += ch in map ? map[ch] : ch;
    }
    return out.slice(0, 100);
  }
  const drawerFileName = (when, drawer, word) =>
    fileStamp(when) + ' ' + safeFileName(drawer) + ' 「' + safeFileName(word) + '」.png';

  // What the word line shows at second t for a hidden word; null: no change.
  function letterHint(word, t) {
    const n = word.length;
    const circles = (k) => (k > 0 ? '\u25CB'.repeat(k) : '');
    if (t === 90) return circles(n);
    if (n <= 2 || n > 300) return null;
    const f = word.slice(0, 1), ff = word.slice(0, 2), l = word.slice(-1), ll = word.slice(-2);
    if (n === 3) {
      if (t === 30) return f + circles(n - 1);
    } else if (n <= 5) {
      if (t === 45) return f + circles(n - 1);
      if (t === 30) return f + circles(n - 2) + l;
    } else if (n <= 8) {
      if (t === 60) return f + circles(n - 1);
      if (t === 40) return f + circles(n - 2) + l;
    } else {
      if (t === 60) return f + circles(n - 1);
      if (t === 45) return f + circles(n - 2) + l;
      if (t === 30) return ff + circles(n - 3) + l;
      if (t === 20) return ff + circles(n - 4) + ll;
    }
    return null;
  }

  // ---- State

  const S = {
    name: '',
    password: '',
    names: Array(SLOTS).fill(''),
    marks: Array(SLOTS).fill(''),
    scores: Array(SLOTS).fill(0),
    mySlot: -1,
    ownSlotKnown: false,
    drawerSlot: -2,
    currentWord: '',
    inGame: false,
    timeLimit: -1,
    banner: false,
    readyEnabled: false,
    qokSlot: -1,
    highlighted: -1,
    idleCount: 0,
    sendCount: 0,
    // pen
    color: 0,
    colorIndex: 0,
    penWidth: PEN_WIDTHS[0],
    penWidthIndex: 0,
    penDown: false,
    pointerId: null,
    last: { x: -1, y: -1 },
    points: [],
    // games and their pictures
    gameActive: false,
    winner: undefined,
    turnOpen: false,
    turnNumber: 0,
    nextTurn: 1,
    turnDrawer: '',
    turnClearing: false,
    gallery: [],
    galleryBytes: 0,
    lastPicture: null,
    lastPictureShown: false,
    result: null,
    resultAvailable: false,
  };

  // ---- Views

  const el = {};
  for (const id of [
    'joinPage', 'joinForm', 'nameInput', 'passwordInput', 'joinError', 'gamePage', 'question', 'timeLimit',
    'banner', 'canvas', 'palette', 'widths', 'clearButton', 'fillButton', 'players', 'readyButton',
    'disconnectButton', 'rejoinButton', 'saveButton', 'resultButton', 'soundBox', 'chatInput', 'chatView',
    'systemView', 'results', 'resultsOverview', 'resultsTitle', 'resultsWinner', 'rankingBody', 'gallery',
    'galleryStatus', 'resultsClose', 'resultsLarge', 'largeCaption', 'largeCanvas', 'largePrevious',
    'largeSave', 'largeNext', 'largeBack',
  ]) {
    el[id] = $(id);
  }
  const ctx = el.canvas.getContext('2d');

  function appendLog(view, text) {
    const atEnd = view.scrollTop + view.clientHeight >= view.scrollHeight - 4;
    const line = document.createElement('div');
    line.textContent = text;
    view.appendChild(line);
    view.dataset.chars = String(Number(view.dataset.chars || 0) + text.length + 2);
    if (Number(view.dataset.chars) > LOG_MAX) {
      let chars = Number(view.dataset.chars);
      while (chars > LOG_KEEP && view.firstChild) {
        chars -= view.firstChild.textContent.length + 2;
        view.removeChild(view.firstChild);
      }
      view.dataset.chars = String(chars);
    }
    if (atEnd || view.childElementCount < 3) view.scrollTop = view.scrollHeight;
  }
  const systemLine = (text) => appendLog(el.systemView, clockStamp(new Date()) + ' ' + removeControlChars(text));
  const chatLine = (text) => appendLog(el.chatView, '<' + removeControlChars(text));

  const playerRows = [];
  for (let i = 0; i < SLOTS; i++) {
    const li = document.createElement('li');
    li.className = 'player empty';
    const name = document.createElement('div');
    name.className = 'player-name';
    const info = document.createElement('div');
    info.className = 'player-info';
    const ready = document.createElement('span');
    ready.className = 'player-ready';
    const score = document.createElement('span');
    score.className = 'player-score';
    const caption = document.createElement('span');
    caption.className = 'player-score-caption';
    caption.textContent = 'Score:';
    info.append(ready, caption, score);
    li.append(name, info);
    el.players.appendChild(li);
    playerRows.push({ li, name, ready, score });
  }

  const colorCss = (v) => 'rgb(' + (v & 255) + ',' + ((v >> 8) & 255) + ',' + ((v >> 16) & 255) + ')';

  function readyLabel(name, mark) {
    if (name === '') return [T.emptySeat, 'rgb(0,0,0)'];
    if (mark === 'OK') return [T.ready, 'rgb(0,0,255)'];
    if (mark === 'VER') return [T.versionMismatch, 'rgb(255,0,0)'];
    if (mark === 'PSW') return [T.passwordMismatch, 'rgb(255,0,0)'];
    return [T.notReady, 'rgb(128,128,255)'];
  }

  function ownSlot() {
    return S.ownSlotKnown && isConnected() ? S.mySlot : -1;
  }

  function renderPlayers() {
    for (let i = 0; i < SLOTS; i++) {
      const row = playerRows[i];
      let name = removeControlChars(S.names[i]);
      if (name !== '' && i === ownSlot()) name += T.ownMark;
      row.name.textContent = name;
      const [text, color] = readyLabel(S.names[i], S.marks[i]);
      row.ready.textContent = text;
      row.ready.style.color = color;
      row.score.textContent = String(S.scores[i]);
      row.li.classList.toggle('empty', S.names[i] === '');
      row.li.classList.toggle('own', name !== '' && i === ownSlot());
      row.li.classList.toggle('drawer', i === S.highlighted);
      row.li.classList.toggle('hit', i === S.qokSlot);
    }
  }

  function renderButtons() {
    const connected = isConnected();
    el.readyButton.disabled = !S.readyEnabled;
    el.disconnectButton.hidden = !connected;
    el.rejoinButton.hidden = connected || ws !== null;
    el.resultButton.disabled = !S.resultAvailable;
    el.banner.hidden = !S.banner;
  }

  function setQuestion(text) {
    el.question.textContent = removeControlChars(text);
  }
  function setTimeLimit(t) {
    S.timeLimit = t;
    el.timeLimit.textContent = String(t);
  }

  // ---- Sounds: short tones instead of sound files

  let audio = null;
  const TONES = {
    click: [[880, 0.05]],
    click2: [[660, 0.05]],
    cls: [[440, 0.07], [330, 0.09]],
    connect: [[523, 0.09], [784, 0.14]],
    disconnect: [[784, 0.09], [523, 0.14]],
    question: [[659, 0.09], [880, 0.09], [1047, 0.14]],
    ok: [[784, 0.1], [1047, 0.25]],
    ng: [[330, 0.18], [262, 0.3]],
    win: [[523, 0.1], [659, 0.1], [784, 0.1], [1047, 0.3]],
    lose: [[392, 0.14], [330, 0.14], [262, 0.3]],
  };
  function sound(name) {
    if (!el.soundBox.checked || !audio || !Object.prototype.hasOwnProperty.call(TONES, name)) return;
    let t = audio.currentTime;
    for (const [freq, length] of TONES[name]) {
      const osc = audio.createOscillator();
      const gain = audio.createGain();
      osc.frequency.value = freq;
      gain.gain.setValueAtTime(0.12, t);
      gain.gain.exponentialRampToValueAtTime(0.001, t + length);
      osc.connect(gain).connect(audio.destination);
      osc.start(t);
      osc.stop(t + length);
      t += length;
    }
  }

  // ---- Connection

  let ws = null;
  let open = false;
  const isConnected = () => ws !== null && open;

  function sendLine(command, text) {
    if (isConnected()) ws.send(command + ' ' + text);
  }

  function connectToRoom() {
    systemLine(T.connecting);
    const url = (location.protocol === 'https:' ? 'wss://' : 'ws://') + location.host + '/ws';
    let socket;
    try {
      socket = new WebSocket(url);
    } catch (e) {
      connectFailed();
      return;
    }
    ws = socket;
    open = false;
    renderButtons();
    const timer = setTimeout(() => {
      if (ws !== socket || open) return;
      ws = null;
      socket.close();
      connectFailed();
    }, CONNECT_TIMEOUT_MS);
    socket.onopen = () => {
      if (ws !== socket) return;
      clearTimeout(timer);
      open = true;
      onEstablished();
    };
    socket.onmessage = (e) => {
      if (ws === socket && typeof e.data === 'string') dispatch(e.data);
    };
    socket.onclose = () => {
      if (ws !== socket) return;
      clearTimeout(timer);
      const wasOpen = open;
      ws = null;
      open = false;
      if (wasOpen) onConnectionClosed();
      else connectFailed();
    };
  }

  function connectFailed() {
    for (const line of T.cannotConnect) systemLine(line);
    renderButtons();
  }

  function onEstablished() {
    // A seat from an earlier room says nothing about this one.
    S.ownSlotKnown = false;
    systemLine(T.connected);
    fill(1);
    S.banner = true;
    sendLine('PSW', S.password);
    sendLine('VER', VERSION);
    sendLine('NAM', S.name);
    S.readyEnabled = true;
    renderButtons();
    renderPlayers();
  }

  // The one way a connection ends.
  function onConnectionClosed() {
    if (ws) {
      const socket = ws;
      ws = null;
      open = false;
      socket.close();
    }
    endGame();
    systemLine(T.disconnected);
    sound('disconnect');
    S.banner = false;
    S.inGame = false;
    S.readyEnabled = false;
    S.names.fill('');
    renderPlayers();
    renderButtons();
  }

  // ---- Commands from the room

  function leadingSlot(payload) {
    if (payload === '') return null;
    const c = payload.charCodeAt(0) - 48;
    return c >= 0 && c < SLOTS ? c : null;
  }

  // An eight-entry ":" list; entries are stored one by one up to the first bad one.
  function readList(payload, store) {
    const fields = payload.split(':');
    for (let i = 0; i < SLOTS; i++) if (i >= fields.length || !store(i, fields[i])) return false;
    return true;
  }

  function dispatch(line) {
    const command = line.slice(0, 3);
    const payload = line.slice(4);
    let ok = true;
    switch (command) {
      case 'MSG': {
        const slot = leadingSlot(payload);
        ok = slot !== null;
        if (ok) chatLine(S.names[slot] + '> ' + payload.slice(2));
        break;
      }
      case 'SYM':
        systemLine(payload);
        if (S.gameActive) {
          const winner = winnerFromNotice(payload);
          if (winner !== undefined) S.winner = winner;
        }
        {
          const m = T.nextTurnNotice.exec(payload);
          if (m) S.nextTurn = Number(m[1]);
        }
        break;
      case 'STK':
        ok = drawStroke(payload);
        break;
      case 'CLS': {
        const index = readInt(payload, 0, PALETTE.length - 1);
        ok = index !== null;
        if (ok) fill(index);
        break;
      }
      case 'NMS':
        ok = readList(payload, (i, f) => ((S.names[i] = f), true));
        break;
      case 'SCR':
        ok = readList(payload, (i, f) => {
          const v = readInt32(f);
          if (v !== null) S.scores[i] = v;
          return v !== null;
        });
        break;
      case 'RDY':
        ok = readList(payload, (i, f) => ((S.marks[i] = f), true));
        break;
      case 'NUM': {
        const slot = readInt(payload, 0, SLOTS - 1);
        ok = slot !== null;
        if (ok) {
          S.mySlot = slot;
          S.ownSlotKnown = true;
        }
        break;
      }
      case 'QST':
        ok = startTurn(payload);
        break;
      case 'QOK':
        ok = onHit(payload);
        break;
      case 'NST':
        systemLine(T.wrongVersion);
        S.readyEnabled = false;
        break;
      case 'NSP':
        systemLine(T.wrongPassword);
        S.readyEnabled = false;
        onConnectionClosed();
        break;
      case 'RST':
        S.readyEnabled = false;
        S.banner = false;
        S.inGame = true;
        beginGame();
        break;
      case 'RET':
        setTimeLimit(-1);
        S.readyEnabled = true;
        systemLine(T.backToWaiting);
        systemLine(T.pressReady);
        S.banner = true;
        S.inGame = false;
        endGame();
        break;
      case 'SND':
        if (/^[A-Za-z0-9_-]{1,64}$/.test(payload)) sound(payload);
        // The room's time-out may come before this player's clock runs out.
        if (payload === 'ng') keepPicture();
        break;
      default:
        systemLine(T.badCommand);
        return;
    }
    renderButtons();
    if (!ok) {
      systemLine(T.unknownError);
      return;
    }
    if (['NMS', 'SCR', 'RDY', 'NUM'].includes(command)) renderPlayers();
  }

  function winnerFromNotice(line) {
    if (line === T.noWinnerNotice) return '';
    const p = T.winnerPrefix, s = T.winnerSuffix;
    if (line.length < p.length + s.length || !line.startsWith(p) || !line.endsWith(s)) return undefined;
    return line.slice(p.length, line.length - s.length);
  }

  // ---- Turns

  const isDrawer = () => S.drawerSlot === S.mySlot;
  const mayDraw = () => (isDrawer() || !S.inGame) && (S.timeLimit > 0 || !S.inGame);
  const mayFill = () => isDrawer() || !S.inGame;

  function startTurn(payload) {
    // A turn was announced even when its drawer cannot be read: the game is on.
    S.inGame = true;
    S.banner = false;
    const drawer = leadingSlot(payload);
    if (drawer === null) return false;
    beginGame();
    S.turnNumber = S.nextTurn++;
    S.turnDrawer = S.names[drawer];
    S.turnOpen = true;
    S.drawerSlot = drawer;
    S.currentWord = payload.slice(2);
    setTimeLimit(TURN_SECONDS);
    setQuestion(isDrawer() ? S.currentWord : T.hiddenWord);
    S.highlighted = drawer;
    S.turnClearing = true;
    resetForTurn();
    S.turnClearing = false;
    S.qokSlot = -1;
    renderPlayers();
    const name = S.names[drawer];
    systemLine(T.drawerTurn(name));
    systemLine(T.guessersTurn(name));
    // A phone's keyboard would cover the picture; only a desktop gets the focus.
    if (!isDrawer() && window.matchMedia('(pointer: fine)').matches) el.chatInput.focus();
    return true;
  }

  function onHit(payload) {
    setTimeLimit(-1);
    setQuestion(S.currentWord);
    keepPicture();
    const slot = readInt(payload, 0, SLOTS - 1);
    if (slot === null) return false;
    S.qokSlot = slot;
    renderPlayers();
    return true;
  }

  function clockTick() {
    if (S.timeLimit === -1) return;
    const t = S.timeLimit - 1;
    setTimeLimit(t);
    if (!isDrawer()) {
      const hint = letterHint(S.currentWord, t);
      if (hint !== null) setQuestion(hint);
    }
    if (t === 0) {
      setQuestion(S.currentWord);
      finishStroke();
      keepPicture();
    }
  }

  const playerCount = () => S.names.filter((n) => n !== '').length;

  function idleTick() {
    if (isConnected() && playerCount() > 1) {
      S.idleCount++;
      if (S.idleCount === IDLE_WARNING) systemLine(T.idleWarning);
    }
    if (S.idleCount >= IDLE_LIMIT) {
      S.idleCount = 0;
      onConnectionClosed();
      systemLine(T.idleDisconnect);
    }
    if (S.sendCount > 0) S.sendCount--;
  }

  function sendCountCheck() {
    S.sendCount++;
    if (S.sendCount >= SEND_LIMIT) {
      S.sendCount = 0;
      systemLine(T.floodDisconnect);
      onConnectionClosed();
    }
  }

  // ---- Games and their pictures

  function beginGame() {
    if (S.gameActive) return;
    S.gameActive = true;
    S.winner = undefined;
    S.gallery = [];
    S.galleryBytes = 0;
    S.result = null;
    S.resultAvailable = false;
  }

  function endGame() {
    if (!S.gameActive) return;
    S.gameActive = false;
    S.turnOpen = false;
    S.nextTurn = 1;
    const finished = S.winner !== undefined;
    S.result = { finished, winner: finished ? S.winner : '', ranking: rankPlayers() };
    // A game that broke off names no winner, but its pictures can still be looked at.
    S.resultAvailable = finished || S.gallery.length > 0;
    renderButtons();
    if (finished) showResults();
  }

  function rankPlayers() {
    const entries = [];
    for (let slot = 0; slot < SLOTS; slot++)
      if (S.names[slot] !== '') entries.push({ slot, name: S.names[slot], score: S.scores[slot], rank: 0 });
    entries.sort((a, b) => (a.score !== b.score ? b.score - a.score : b.slot - a.slot));
    entries.forEach((e, i) => {
      e.rank = i > 0 && e.score === entries[i - 1].score ? entries[i - 1].rank : i + 1;
    });
    return entries;
  }

  const pictureCost = (p) => (p.blob ? p.blob.size : 0) + (p.drawer.length + p.word.length) * 2;

  // The word was revealed: the canvas becomes the turn's picture, once per turn.
  function keepPicture() {
    if (!S.turnOpen) return;
    S.turnOpen = false;
    const picture = { turn: S.turnNumber, drawer: S.turnDrawer, word: S.currentWord, when: new Date(), blob: null };
    S.gallery.push(picture);
    S.lastPicture = picture;
    S.lastPictureShown = true;
    // The canvas is copied now; only the encoding comes later.
    el.canvas.toBlob((blob) => {
      const index = S.gallery.indexOf(picture);
      if (!blob) {
        if (index >= 0) S.gallery.splice(index, 1);
        return;
      }
      picture.blob = blob;
      if (index < 0) return;
      S.galleryBytes += pictureCost(picture);
      while (S.gallery.length > GALLERY_MAX || (S.galleryBytes > GALLERY_BYTES && S.gallery.length > 1))
        S.galleryBytes -= pictureCost(S.gallery.shift());
      if (!el.results.hidden) renderGallery();
    }, 'image/png');
  }

  function download(blob, fileName) {
    const url = URL.createObjectURL(blob);
    const a = document.createElement('a');
    a.href = url;
    a.download = fileName;
    document.body.appendChild(a);
    a.click();
    a.remove();
    setTimeout(() => URL.revokeObjectURL(url), 60000);
  }

  function savePicture() {
    const now = new Date();
    if (S.lastPictureShown && S.lastPicture && S.lastPicture.blob) {
      const name = drawerFileName(now, S.lastPicture.drawer, S.lastPicture.word);
      download(S.lastPicture.blob, name);
      systemLine(T.pictureSaved(name));
      return;
    }
    let name;
    if (S.banner) name = fileStamp(now) + T.chatModeSuffix;
    else if (!isConnected()) name = fileStamp(now) + T.offlineSuffix;
    else if (S.drawerSlot < 0 || S.drawerSlot >= SLOTS) {
      systemLine(T.cannotSave);
      return;
    } else name = drawerFileName(now, S.names[S.drawerSlot], el.question.textContent);
    el.canvas.toBlob((blob) => {
      if (!blob) return;
      download(blob, name);
      systemLine(T.pictureSaved(name));
    }, 'image/png');
  }

  // ---- Results

  let largeIndex = -1;

  function showResults() {
    if (!S.resultAvailable || !S.result) return;
    const r = S.result;
    el.resultsTitle.textContent = r.finished ? T.gameFinished : T.gameCutShort;
    el.resultsWinner.textContent =
      r.finished && r.winner !== '' ? T.winnerLabel + removeControlChars(r.winner) : T.noWinner;
    el.rankingBody.replaceChildren();
    for (const s of r.ranking) {
      const tr = document.createElement('tr');
      if (r.finished && s.name === r.winner) tr.className = 'winner';
      for (const cell of [T.rankCell(s.rank), removeControlChars(s.name), String(s.score)]) {
        const td = document.createElement('td');
        td.textContent = cell;
        tr.appendChild(td);
      }
      el.rankingBody.appendChild(tr);
    }
    renderGallery();
    showOverview();
    el.results.hidden = false;
  }

  const captionOf = (p) => T.pictureCaption(p.turn, removeControlChars(p.drawer), removeControlChars(p.word));

  function drawPicture(target, picture) {
    const g = target.getContext('2d');
    g.fillStyle = '#fff';
    g.fillRect(0, 0, target.width, target.height);
    if (!picture.blob || !window.createImageBitmap) return;
    createImageBitmap(picture.blob).then((bitmap) => {
      g.drawImage(bitmap, 0, 0, target.width, target.height);
      bitmap.close();
    }, () => {});
  }

  function renderGallery() {
    const pictures = S.gallery.filter((p) => p.blob);
    el.gallery.replaceChildren();
    el.galleryStatus.textContent = pictures.length ? T.clickToEnlarge : T.noPictures;
    pictures.forEach((picture) => {
      const li = document.createElement('li');
      li.className = 'picture';
      const thumb = document.createElement('canvas');
      thumb.width = 160;
      thumb.height = 120;
      thumb.className = 'thumb';
      thumb.addEventListener('click', () => showLarge(S.gallery.indexOf(picture)));
      drawPicture(thumb, picture);
      const caption = document.createElement('p');
      caption.className = 'caption';
      caption.textContent = captionOf(picture);
      const save = document.createElement('button');
      save.type = 'button';
      save.textContent = T.savePicture;
      save.addEventListener('click', () => download(picture.blob, drawerFileName(picture.when, picture.drawer, picture.word)));
      li.append(thumb, caption, save);
      el.gallery.appendChild(li);
    });
  }

  function showOverview() {
    el.resultsLarge.hidden = true;
    el.resultsOverview.hidden = false;
    largeIndex = -1;
  }

  function showLarge(index) {
    const picture = S.gallery[index];
    if (!picture || !picture.blob) return;
    largeIndex = index;
    el.largeCaption.textContent = captionOf(picture);
    drawPicture(el.largeCanvas, picture);
    el.largePrevious.disabled = index <= 0;
    el.largeNext.disabled = index >= S.gallery.length - 1;
    el.resultsOverview.hidden = true;
    el.resultsLarge.hidden = false;
  }

  // ---- Canvas

  function fill(index) {
    if (index < 0 || index >= PALETTE.length) return;
    ctx.fillStyle = colorCss(PALETTE[index]);
    ctx.fillRect(0, 0, W, H);
    imageChanged();
  }

  function imageChanged() {
    if (!S.turnClearing) S.lastPictureShown = false;
  }

  function pen(color, width) {
    ctx.strokeStyle = colorCss(color);
    ctx.fillStyle = colorCss(color);
    ctx.lineWidth = width;
    ctx.lineCap = 'round';
    ctx.lineJoin = 'round';
  }

  // Pixel centres, as the player's program draws.
  function dot(p, width) {
    ctx.beginPath();
    ctx.arc(p.x + 0.5, p.y + 0.5, width / 2, 0, 2 * Math.PI);
    ctx.fill();
  }

  function drawSegment(from, to, color, width) {
    pen(color, clamp(width, 1, 1000));
    if (from.x === to.x && from.y === to.y) {
      dot(from, clamp(width, 1, 1000));
    } else {
      ctx.beginPath();
      ctx.moveTo(from.x + 0.5, from.y + 0.5);
      ctx.lineTo(to.x + 0.5, to.y + 0.5);
      ctx.stroke();
    }
    imageChanged();
  }

  // A received stroke; false when it broke off (what could be read is drawn).
  function drawStroke(payload) {
    const c1 = payload.indexOf(':');
    const c2 = c1 < 0 ? -1 : payload.indexOf(':', c1 + 1);
    if (c2 < 0) return false;
    const color = readInt32(payload.slice(0, c1));
    const width = readInt(payload.slice(c1 + 1, c2), -32768, 32767);
    if (color === null || width === null) return false;
    let end = payload.indexOf(':', c2 + 1);
    if (end < 0) end = payload.length;
    const list = payload.slice(c2 + 1, end);
    const points = [];
    let ok = true;
    for (let pos = 0; pos < list.length; ) {
      let semi = list.indexOf(';', pos);
      if (semi < 0) semi = list.length;
      const piece = list.slice(pos, semi);
      const comma = piece.indexOf(',');
      const x = comma < 0 ? null : readNumber(piece.slice(0, comma));
      const y = comma < 0 ? null : readNumber(piece.slice(comma + 1));
      if (x === null || y === null) {
        ok = false;
        break;
      }
      // Far-off points only cost time; keep them near the canvas.
      points.push({ x: clamp(x, -10000, 10000), y: clamp(y, -10000, 10000) });
      pos = semi + 1;
    }
    if (points.length > 0) {
      const w = clamp(width, 1, 1000);
      pen(color, w);
      const first = points[0];
      if (points.every((p) => p.x === first.x && p.y === first.y)) {
        dot(first, w);
      } else {
        ctx.beginPath();
        ctx.moveTo(first.x + 0.5, first.y + 0.5);
        for (const p of points) ctx.lineTo(p.x + 0.5, p.y + 0.5);
        ctx.stroke();
      }
      imageChanged();
    }
    return ok;
  }

  function paletteIndexOf(value) {
    for (let i = PALETTE.length - 1; i >= 0; i--) if (PALETTE[i] === value) return i;
    return 0;
  }

  function pixelValue(p) {
    if (p.x < 0 || p.y < 0 || p.x >= W || p.y >= H) return -1;
    const d = ctx.getImageData(p.x, p.y, 1, 1).data;
    return d[0] + 256 * d[1] + 65536 * d[2];
  }

  function canvasPoint(e) {
    const r = el.canvas.getBoundingClientRect();
    return {
      x: Math.round(((e.clientX - r.left) * W) / r.width),
      y: Math.round(((e.clientY - r.top) * H) / r.height),
    };
  }

  function addPoint(p) {
    if (!S.penDown) return;
    if (S.inGame && (!isDrawer() || S.timeLimit <= 0)) return;
    drawSegment(p, S.last, S.color, S.penWidth);
    S.last = p;
    S.points.push(p);
    if (S.points.length === MAX_STROKE_POINTS) finishStroke();
  }

  function finishStroke() {
    if (S.penDown) {
      S.penDown = false;
      if (mayDraw() && isConnected()) {
        let payload = S.color + ':' + S.penWidth + ':';
        for (const p of S.points) payload += p.x + ',' + p.y + ';';
        sendLine('STK', payload);
      }
    }
    S.points = [];
    const id = S.pointerId;
    S.pointerId = null;
    if (id !== null && el.canvas.hasPointerCapture(id)) el.canvas.releasePointerCapture(id);
  }

  function onPointerDown(e) {
    if (S.pointerId !== null) return; // one finger draws; others are ignored
    e.preventDefault();
    const p = canvasPoint(e);
    S.idleCount = 0;
    if (!mayDraw()) return;
    if (e.button === 0) {
      S.penDown = true;
      S.pointerId = e.pointerId;
      S.last = p;
      S.points = [p];
      addPoint(p);
      try {
        // The stroke follows the pointer beyond the canvas, as the program's does.
        el.canvas.setPointerCapture(e.pointerId);
      } catch (err) {
        // A pointer that is already gone: its up event ends the stroke.
      }
    } else if (e.button === 2) {
      pickColor(paletteIndexOf(pixelValue(p)));
    } else if (e.button === 1) {
      pickPenWidth((S.penWidthIndex + 1) % PEN_WIDTHS.length);
    }
  }

  el.canvas.addEventListener('pointerdown', onPointerDown);
  el.canvas.addEventListener('pointermove', (e) => {
    if (e.pointerId !== S.pointerId) return;
    e.preventDefault();
    addPoint(canvasPoint(e));
  });
  for (const type of ['pointerup', 'pointercancel', 'lostpointercapture']) {
    el.canvas.addEventListener(type, (e) => {
      if (e.pointerId === S.pointerId) finishStroke();
    });
  }
  el.canvas.addEventListener('contextmenu', (e) => e.preventDefault());
  // No autoscroll from the middle button.
  el.canvas.addEventListener('mousedown', (e) => {
    if (e.button === 1) e.preventDefault();
  });
  el.canvas.addEventListener('touchstart', (e) => e.preventDefault(), { passive: false });

  // ---- Pen

  const swatches = [];
  const widthButtons = [];
  const COLOR_NAMES = ['黒', '白', '赤', '橙', '黄', '緑', '水色', '青', '紫'];
  PALETTE.forEach((value, index) => {
    const b = document.createElement('button');
    b.type = 'button';
    b.className = 'swatch';
    b.setAttribute('aria-label', COLOR_NAMES[index]);
    b.style.backgroundColor = colorCss(value);
    b.addEventListener('click', () => pickColor(index));
    b.addEventListener('dblclick', () => fillWithColor(index));
    el.palette.appendChild(b);
    swatches.push(b);
  });
  PEN_WIDTHS.forEach((width, index) => {
    const b = document.createElement('button');
    b.type = 'button';
    b.className = 'width';
    b.setAttribute('aria-label', String(width));
    const d = document.createElement('span');
    d.className = 'width-dot';
    d.style.width = d.style.height = Math.max(3, Math.round(width * 0.8)) + 'px';
    b.appendChild(d);
    b.addEventListener('click', () => pickPenWidth(index));
    el.widths.appendChild(b);
    widthButtons.push(b);
  });

  function markColor(index) {
    swatches.forEach((b, i) => b.classList.toggle('selected', i === index));
  }
  function markWidth(index) {
    widthButtons.forEach((b, i) => b.classList.toggle('selected', i === index));
  }

  function pickColor(index) {
    if (index < 0 || index >= PALETTE.length) return;
    S.colorIndex = index;
    markColor(index);
    sound('click');
    S.color = PALETTE[index];
  }

  function pickPenWidth(index) {
    if (index < 0 || index >= PEN_WIDTHS.length) return;
    markWidth(index);
    sound('click2');
    S.penWidthIndex = index;
    S.penWidth = PEN_WIDTHS[index];
  }

  function fillWithColor(index) {
    if (index < 0 || index >= PALETTE.length || !mayFill()) return;
    sound('cls');
    fill(index);
    if (isConnected()) {
      sendLine('CLS', String(index));
      sendCountCheck();
    }
  }

  function resetForTurn() {
    fill(1);
    S.color = PALETTE[0];
    S.colorIndex = 0;
    markColor(0);
    S.penWidth = PEN_WIDTHS[0];
    S.penWidthIndex = 0;
    markWidth(0);
  }

  // ---- Chat

  function sendChat(input) {
    if (!isConnected()) {
      systemLine(T.notConnected);
      return false;
    }
    S.idleCount = 0;
    if (input === '') return false;
    let text = toWireText(input).split('\r\n').join('');
    if (isDrawer() && S.currentWord !== '')
      text = text.split(S.currentWord).join('\u25CB'.repeat(S.currentWord.length));
    chatLine(S.name + '> ' + text);
    sendLine('MSG', text);
    sendCountCheck();
    return true;
  }

  // ---- Wiring

  el.chatInput.addEventListener('keydown', (e) => {
    if (e.key !== 'Enter' || e.isComposing || e.keyCode === 229) return;
    e.preventDefault();
    if (sendChat(el.chatInput.value)) el.chatInput.value = '';
  });
  document.addEventListener('keydown', (e) => {
    const index = ['F1', 'F2', 'F3', 'F4'].indexOf(e.key);
    if (index < 0 || el.gamePage.hidden) return;
    e.preventDefault();
    pickPenWidth(index);
  });
  el.clearButton.addEventListener('click', () => fillWithColor(1));
  el.fillButton.addEventListener('click', () => fillWithColor(S.colorIndex));
  el.readyButton.addEventListener('click', () => {
    S.readyEnabled = false;
    renderButtons();
    sendLine('RDY', 'OK');
  });
  el.disconnectButton.addEventListener('click', () => {
    if (window.confirm(T.confirmDisconnect)) onConnectionClosed();
  });
  el.rejoinButton.addEventListener('click', () => showJoin());
  el.saveButton.addEventListener('click', savePicture);
  el.resultButton.addEventListener('click', showResults);
  el.resultsClose.addEventListener('click', () => {
    el.results.hidden = true;
  });
  el.largeBack.addEventListener('click', showOverview);
  el.largePrevious.addEventListener('click', () => showLarge(largeIndex - 1));
  el.largeNext.addEventListener('click', () => showLarge(largeIndex + 1));
  el.largeSave.addEventListener('click', () => {
    const p = S.gallery[largeIndex];
    if (p && p.blob) download(p.blob, drawerFileName(p.when, p.drawer, p.word));
  });

  function showJoin() {
    el.gamePage.hidden = true;
    el.joinPage.hidden = false;
    el.nameInput.focus();
  }

  let started = false;
  el.joinForm.addEventListener('submit', (e) => {
    e.preventDefault();
    const name = cleanPlayerName(toWireText(el.nameInput.value.slice(0, MAX_NAME)));
    el.nameInput.value = name;
    if (name === '') {
      el.joinError.textContent = T.enterName;
      el.nameInput.focus();
      return;
    }
    el.joinError.textContent = '';
    S.name = name;
    S.password = toWireText(el.passwordInput.value.slice(0, MAX_PASSWORD)).trim();
    try {
      localStorage.setItem('zembrill.name', name);
    } catch (err) {
      // Storage may be off; the name is only a convenience.
    }
    // Sound may start only after a user's action, such as this one.
    try {
      if (!audio && (window.AudioContext || window.webkitAudioContext))
        audio = new (window.AudioContext || window.webkitAudioContext)();
    } catch (err) {
      audio = null;
    }
    el.joinPage.hidden = true;
    el.gamePage.hidden = false;
    if (!started) {
      started = true;
      systemLine(T.versionLine);
    }
    connectToRoom();
  });

  try {
    el.nameInput.value = localStorage.getItem('zembrill.name') || '';
  } catch (err) {
    el.nameInput.value = '';
  }
  fill(1);
  markColor(0);
  markWidth(0);
  setTimeLimit(-1);
  renderPlayers();
  renderButtons();
  setInterval(clockTick, 1000);
  setInterval(idleTick, 1000);
})();
