// The process-wide AppState record shared by the shell, movement, rendering and commands.
#pragma once

// Connecting: the link thread looks the server up, connects and shakes hands; Registering: the
// link is up and the server has not yet sent its first PING or the end of its greeting.
enum ConnectionState { Offline = 0, InChannel = 1, Registering = 2, Connecting = 3 };

struct PlatformWindow;  // the top-level window, its GL view and children (platform/)
struct PlatformWidget;  // a child control: the input line or the console panel
struct ConversationBar;  // the bar of conversations over the console (platform/)

struct AppStateRecord {
  PlatformWindow* mainWindow;     // stands for the window, its device and rendering contexts
  PlatformWidget* inputLine;
  PlatformWidget* consolePanel;
  ConversationBar* conversationBar;
  bool isActive;
  bool isFullScreen;
  bool viewHasFocus;
  bool positionDirty;
  ConnectionState connectionState;
  float frameScale;   // last timed pass in units of 10 ms
  float sceneClock;   // running sum of frameScale
  bool sceneReady;    // the scene is set up in the current context (an expose may draw)
};

extern AppStateRecord AppState;
