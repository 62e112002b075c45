#pragma once

#include "client/core/canvasmodel.h"
#include "client/core/chatsender.h"
#include "client/core/gallery.h"
#include "client/core/gameconnection.h"
#include "client/core/gameresult.h"
#include "client/core/playerlist.h"
#include "client/core/roundstate.h"

#include <QObject>
#include <QTimer>

namespace zb {

// The game as the player's program runs it, without any window: the
// connection, the command handler dispatch, the players, the turn, the canvas and
// the watchdogs. A window shows what the signals report and turns clicks into
// calls; everything the player is told leaves as systemText / chatText.
class GameClient : public QObject {
    Q_OBJECT
  public:
    explicit GameClient(QObject *parent = nullptr);

    // Length of one second of the clocks and time-outs (tests shorten it).
    void setTickMs(int ms);
    int tickMs() const { return m_connection.tickMs(); }
    void setBindAddress(const QHostAddress &address) { m_connection.setBindAddress(address); }

    // Preferences that decide behaviour here.
    void setAutoSavePicture(bool on) { m_autoSavePicture = on; }
    void setQuestionWindow(bool on) { m_round.setQuestionWindow(on); }
    void setColorChangeWidth(bool on) { m_canvas.setColorChangeWidth(on); }
    // The player's own name as shown on own chat lines.
    void setName(const QString &name) { m_name = name; }
    // Off: no sound at all is requested.
    void setSoundOn(bool on) { m_soundOn = on; }
    bool soundOn() const { return m_soundOn; }

    GameConnection &connection() { return m_connection; }
    PlayerList &players() { return m_players; }
    const PlayerList &players() const { return m_players; }
    RoundState &round() { return m_round; }
    CanvasModel &canvas() { return m_canvas; }
    ActivityWatch &watch() { return m_watch; }

    bool isConnected() const { return m_connection.isConnected(); }
    bool bannerVisible() const { return m_banner; }
    bool readyEnabled() const { return m_readyEnabled; }
    bool saveReserved() const { return m_saveReserve; }
    // Slot marked as having guessed the word; -1 when no mark is shown.
    int qokSlot() const { return m_qokSlot; }
    // The player's own seat on the open connection (from its NUM); -1 when none is known.
    int ownSlot() const;
    // The pictures of this game's turns (or the last game's, until the next starts).
    const Gallery &gallery() const { return m_gallery; }
    // The last game's end; meaningful while resultAvailable().
    const GameResult &result() const { return m_result; }
    bool resultAvailable() const { return m_resultAvailable; }

    // Pen, turn and clock as at start-up.
    void reset();
    bool connectToRoom(const QString &ipPort, const QString &name, const QString &password);
    void sendLine(const QString &command, const QString &text) { m_connection.sendLine(command, text); }
    // The player ends the connection (the disconnect button). Every end of a
    // connection runs the same disconnect routine, whoever ends it.
    void onConnectionClosed();
    void toggleReady();
    // Enter in the chat input; true when the input was taken (and is to be emptied).
    bool sendChat(const QString &input);
    // Saves the canvas; between a turn's end and the next drawing on the
    // canvas that is the revealed picture, under its drawer and word.
    void savePicture();
    // Every picture of the gallery into the picture folder; returns the lines told.
    QStringList saveGallery();
    void setSaveReserve(bool on);
    // The lobby window was opened: that counts as the player being active.
    void lobbyOpened() { m_watch.userActed(); }

    void dispatch(const QString &command, const QString &payload);
    void onClockTick() { m_round.onClockTick(); }
    void onIdleTick();

  signals:
    void systemText(const QString &text);
    // A chat line without its leading "<": name, "> ", text.
    void chatText(const QString &text);
    void soundRequested(const QString &name);
    void playersChanged();
    void readyEnabledChanged(bool enabled);
    void bannerChanged(bool visible);
    void turnStarted(int drawerSlot, bool isDrawer);
    void qokSlotChanged(int slot);
    void saveReserveChanged(bool on);
    void connectionOpenChanged(bool open);
    // A connection ended (after the disconnect routine): why, in plain words.
    void leftRoom(const QString &reason);
    // A turn's picture went into the gallery.
    void pictureKept(int turn);
    // The game ended with a winner: time to show the results.
    void gameFinished();
    void resultAvailableChanged(bool available);

  private:
    bool handleMSG(const QString &payload);
    bool handleQST(const QString &payload);
    bool handleQOK(const QString &payload);
    bool handleSND(const QString &payload);
    void turnEndSave();
    void requestSound(const QString &name);
    // The word was revealed: the canvas becomes the turn's picture, once per turn.
    void keepPicture();
    void beginGame();
    void endGame();
    void setResultAvailable(bool on);
    void onEstablished();
    void onClosedByPeer(GameConnection::CloseCause cause);
    // The disconnect routine, then leftRoom with the reason.
    void leaveRoom(const QString &reason);
    void sendFill(int index);
    void sendCountCheck();
    void setReadyEnabled(bool on);
    void setBanner(bool on);

    GameConnection m_connection;
    PlayerList m_players;
    RoundState m_round;
    CanvasModel m_canvas;
    ActivityWatch m_watch;
    QTimer m_clockTimer;
    QTimer m_idleTimer;
    QString m_name;
    bool m_banner = false;
    bool m_readyEnabled = false;
    bool m_saveReserve = false;
    bool m_autoSavePicture = false;
    bool m_soundOn = true;
    bool m_ownSlotKnown = false;
    int m_qokSlot = -1;
    // The room's reason for a cut when it was the last line received, else empty.
    QString m_roomReason;
    bool m_versionRefused = false;
    // The room's notice of a refused password, held until this player is seated:
    // before that it may be about this very connection.
    bool m_passwordNoticeHeld = false;

    Gallery m_gallery;
    GameResult m_result;
    bool m_resultAvailable = false;
    bool m_gameActive = false; // a game seen since connecting or the last RET
    std::optional<QString> m_winner;
    bool m_turnOpen = false; // a turn whose picture is not kept yet
    int m_turnNumber = 0;
    int m_nextTurn = 1;
    QString m_turnDrawer;
    GalleryPicture m_lastPicture;
    bool m_lastPictureShown = false; // the canvas still shows it (a turn start's clear aside)
    bool m_turnClearing = false;
};

// One of the lines a room sends right before it cuts a player, saying why.
bool isRoomLeaveReason(const QString &line);

// A sound name the server may ask for: letters, digits, "_" and "-" only.
bool isPlainSoundName(const QString &name);

} // namespace zb
