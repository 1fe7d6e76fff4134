// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

namespace tw {

// Groups of settings, loaded and saved by bit mask; callers save only the
// groups they changed.
namespace SettingsGroup {
constexpr int General = 1, User = 2, Gps = 4, Map = 8, FieldNotes = 16, TrackExport = 32, Alert = 64,
              Online = 128, All = 255;
}

// The most rows the cache list shows.
constexpr int kMostListRows = 100000;

// Every persistent option, with its default. Names follow the stored value
// names ("DbFile" is dbFile). Colours are 0x00BBGGRR.
struct Settings {
    // General (section "Options").
    std::string dbFile;            // default: <data folder>/cachedb.db3
    std::string mapFolder;         // empty: the data folder
    std::string mapTheme;          // render theme of vector maps; empty: the one beside the maps, else the built-in
    int maxRows = 999;             // 1 to kMostListRows
    int showStatus = 1;
    int useRadar = 0;
    int suspendKiller = 1;
    int runOnSuspend = 0;
    int fingerFriendlyEdit = 0;
    int coordStyle = 1;            // coordinates typed and shown: 0 degrees, 1 degrees and minutes, 2 with seconds
    int sheetPaper = 0;            // printed cache sheets: 0 the paper of the user's region, 1 A4, 2 Letter
    int srchResRefresh = 0;        // seconds, 0 = never
    int northUp = 0;
    int dnlOnline = 0;
    std::string fontName = "Tahoma";
    int theme = 0;                 // look of the window: 0 day, 1 night, 2 high contrast
    int dayTheme = 0;              // the theme the night key returns to: 0 day, 2 high contrast
    int maxTrackBuffer = 30;
    int maxImpCaches = 30;
    int impOnlyNew = 1;
    int impNotFound = 1;
    int isLite = 0;
    int foundCount = 0;
    std::string availVersion;
    std::string anVersion;
    int bgColor = -1;              // -1: the system colour; never written
    // The window at its wide layout: the widths of the list, map and
    // listing panes ("320,560,400"; empty: the window divides itself) and
    // which of them are shown (1 list, 2 map, 4 listing).
    std::string widePanes;
    int wideShown = 7;

    // User.
    std::string nickname;
    std::string password;          // stored transformed
    double homeLat = 0.0;          // degrees, stored as millionths
    double homeLon = 0.0;
    std::string language = "cs";
    int metricUnits = 1;
    int cacheDetail = 0;

    // GPS.
    int gpsPort = 0;               // older form of the port; never written
    std::string gpsPortS;          // device path of the receiver
    std::string gpsDeviceFolder;   // handheld unit to send caches to; empty: look for one
    int sendLogs = 5;              // logs of each cache sent to the unit
    int gpsBaud = 4800;            // 0 disables the automatic start
    int gpsAutoStart = 0;
    int saveTrackLog = 0;

    // Map.
    int mapSource = 0;
    std::string elevationFolder;   // .hgt files that shade the map; empty: no shading
    // The style chosen from a vector map theme's style menu, the overlays
    // switched ("id=1,id=0"), and the theme file they were chosen for: with
    // another theme they do not apply.
    std::string vectorStyle;
    std::string vectorOverlays;
    std::string vectorStyleTheme;
    int mapType = 0;
    int mapType1 = 0;
    int mapType2 = 0;
    int mapType3 = 0;
    int movingMap = 0;
    int scale = 1;
    int names = 1;
    int caches = 1;
    int extPaint = 1;
    int arrow = 1;
    int mapClick = 1;
    int showWpts = 1;
    int routeColor = 192;
    int trackColor = 41471;
    int trackWidth = 3;            // pixels before scaling
    int dnlOnlyNew = 1;
    int inclWpt = 0;
    int mapArea = 2;               // 1, 2 or 3: 3×3, 5×5 or 7×7 tiles

    // Field notes.
    std::string fnFile;
    std::string fnTemplate;
    int findsCountExtra = 0;
    int webLogUseFNT = 0;
    int fnSince = 0;               // YYYYMMDD the export starts from; 0: two days back

    // Track export.
    std::string trackFile;         // default: the documents folder
    int trackGPX = 0;
    int trackKML = 0;
    int trackPLT = 0;
    int delTrack = 0;

    // Alert.
    int alertOn = 1;
    int alertDist = 30;            // metres or feet by metricUnits
    std::string alertSound;        // default: the shipped alarm sound

    // Online state (section "State" and the hand-over file).
    std::string accessToken;       // read only
    int dnlFull = -1;
    int dnlLite = -1;
    int isBasic = 0;
    std::int64_t limitTimestamp = 0; // seconds since 1970
    // Online services (section "Options"); TARNWICK_LIVE_URL overrides it.
    std::string liveUrl;           // the Live API base; empty: none is contacted
    // The sign-in relay and the address search (section "Options"); empty:
    // not set up. TARNWICK_RELAY_URL and TARNWICK_GEOCODER_URL override them.
    std::string relayUrl;          // the sign-in relay's folder, ".../oa/"
    std::string geocoderUrl;       // the address search service
};

// The stored form of the password and the access token: letters outside
// "[...]" move 13 places in the alphabet. Encodes and decodes alike.
std::string transformSecret(const std::string& text);

// Degrees as stored: millionths of a degree, truncated toward zero.
std::int32_t degreesToMicro(double degrees);
double microToDegrees(std::int32_t micro);

} // namespace tw
