// Identifiers of the dialog templates, their controls and the icon.
#pragma once

namespace ids {
inline constexpr int mainDialog = 102;
inline constexpr int titleBarDialog = 134;
inline constexpr int historyDialog = 140;
inline constexpr int appIcon = 128;

inline constexpr int portEdit1 = 1000;
inline constexpr int serverButton = 1001;
inline constexpr int traceEdit = 1002;
inline constexpr int adapterCombo = 1003;
inline constexpr int inputNameEdit1 = 1004;  // inputs 1 to 5: 1004 to 1008
inline constexpr int portEdit2 = 1009;
inline constexpr int loggingCheck = 1010;
inline constexpr int portEdit3 = 1011;
inline constexpr int portEdit4 = 1012;
inline constexpr int browseLogButton = 1013;
inline constexpr int versionLabel = 1014;
inline constexpr int logFileEdit = 1015;
inline constexpr int outputNameEdit1 = 1016;
inline constexpr int statusLabel = 1017;
inline constexpr int peerLabel1 = 1018;
inline constexpr int peerLabel2 = 1019;
inline constexpr int titleBarButton = 1020;
inline constexpr int saveSettingsButton = 1021;
inline constexpr int loadSettingsButton = 1022;
inline constexpr int peerLabel3 = 1023;
inline constexpr int peerLabel4 = 1024;
inline constexpr int outputNameEdit2 = 1025;
inline constexpr int outputNameEdit3 = 1026;
inline constexpr int outputButton1 = 1027;
inline constexpr int outputButton2 = 1028;
inline constexpr int outputButton3 = 1029;
inline constexpr int destPortEdit = 1031;
inline constexpr int historyButton = 1032;
inline constexpr int inputLamp1 = 1100;   // inputs 1 to 5: 1100 to 1104
inline constexpr int outputLamp1 = 1105;  // outputs 1 to 3: 1105 to 1107

inline constexpr int titleEdit = 1018;  // in the title bar dialog

// In the signal history window.
inline constexpr int historyOpenLog = 1201;
inline constexpr int historyLive = 1202;
inline constexpr int historyFilter = 1203;
inline constexpr int historyCopy = 1204;
inline constexpr int historySavePng = 1205;
inline constexpr int historyDiagram = 1206;
inline constexpr int historyScroll = 1207;
inline constexpr int historyPointer = 1208;
inline constexpr int historySource = 1209;
inline constexpr int historyCancel = 1210;
inline constexpr int historyWhole = 1211;
inline constexpr int historyZoomCursors = 1212;
inline constexpr int historyCopyMeasurements = 1213;
inline constexpr int historySaveRange = 1214;
inline constexpr int historyTable = 1215;
}  // namespace ids
