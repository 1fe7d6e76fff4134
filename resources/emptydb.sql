-- SPDX-License-Identifier: GPL-3.0-or-later
-- The template cache database. The program reads whole rows by column
-- position: never reorder, insert or drop columns here.
PRAGMA user_version = 1;
PRAGMA page_size = 4096;

BEGIN TRANSACTION;

CREATE TABLE `geocache` (
  `key`         INTEGER PRIMARY KEY,
  `id`          TEXT,
  `guid`        TEXT,
  `x`           DOUBLE,
  `y`           DOUBLE,
  `name`        TEXT,
  `author`      TEXT,
  `cachetype`   TEXT,
  `cachesize`   TEXT,
  `difficulty`  DOUBLE,
  `terrain`     DOUBLE,
  `reserved11`  TEXT,
  `cachestatus` INTEGER,
  `reserved13`  INTEGER,
  `dthidden`    INTEGER,
  `reserved15`  INTEGER,
  `dtupdate`    INTEGER,
  `comment`     TEXT,
  `dtfoundtime` INTEGER,
  `dtfound`     INTEGER,
  `country`     TEXT,
  `state`       TEXT,
  `gs_cacheid`  INTEGER,
  `gs_ownerid`  INTEGER
);
CREATE INDEX `geocache_id` ON `geocache` (`id`);
CREATE INDEX `geocache_dtfound` ON `geocache` (`dtfound`);
-- The list orders by distance from the positions alone: this index holds
-- them (and the key) in a tenth of the table's pages. Databases of an
-- earlier version gain it at open (SQLite::Database::OpenFile).
CREATE INDEX `geocache_xy` ON `geocache` (`x`, `y`);

CREATE TABLE `waypoint` (
  `key`      INTEGER PRIMARY KEY,
  `id`       TEXT,
  `guid`     TEXT,
  `x`        DOUBLE,
  `y`        DOUBLE,
  `name`     TEXT,
  `prefixid` TEXT,
  `extra`    TEXT,
  `wpttype`  TEXT,
  `cmt`      TEXT,
  `comment`  TEXT,
  `flag`     INTEGER,
  `dtupdate` INTEGER
);
CREATE INDEX `waypoint_id` ON `waypoint` (`id`, `prefixid`);

CREATE TABLE `geolog` (
  `key`         INTEGER PRIMARY KEY,
  `id`          TEXT,
  `dt`          INTEGER,
  `type`        TEXT,
  `finder`      TEXT,
  `logtext`     BLOB,
  `gs_logid`    INTEGER,
  `gs_finderid` INTEGER
);
CREATE INDEX `geolog_id` ON `geolog` (`id`, `dt`);

CREATE TABLE `geolist` (
  `key`           INTEGER PRIMARY KEY,
  `id`            TEXT,
  `shortdesc`     BLOB,
  `shortdescflag` INTEGER,
  `longdesc`      BLOB,
  `longdescflag`  INTEGER,
  `hint`          TEXT
);
CREATE INDEX `geolist_id` ON `geolist` (`id`);

CREATE VIRTUAL TABLE `coord_index` USING rtree (`key`, `minX`, `maxX`, `minY`, `maxY`);

CREATE TABLE `geotagcategory` (
  `key`   INTEGER PRIMARY KEY,
  `value` TEXT
);
CREATE INDEX `geotagcategory_value` ON `geotagcategory` (`value`);

CREATE TABLE `geotagvalue` (
  `key`   INTEGER PRIMARY KEY,
  `value` TEXT
);
-- A tag value is looked up byte for byte (the exact index); the NOCASE
-- index serves searches that ignore letter case.
CREATE INDEX `geotagvalue_value` ON `geotagvalue` (`value` COLLATE NOCASE);
CREATE INDEX `geotagvalue_exact` ON `geotagvalue` (`value`);

CREATE TABLE `geotag` (
  `key`      INTEGER PRIMARY KEY,
  `id`       TEXT,
  `ptrkat`   INTEGER,
  `ptrvalue` INTEGER
);
CREATE INDEX `geotag_id` ON `geotag` (`id`, `ptrkat`);
CREATE INDEX `geotag_ptrkat` ON `geotag` (`ptrkat`, `ptrvalue`);

-- The program's own: the travel bugs of each cache (`id` = the cache code).
-- Databases without it get it at their first open (db/TravelBugs.cpp).
CREATE TABLE `travelbug` (
  `key`     INTEGER PRIMARY KEY,
  `id`      TEXT,
  `gs_tbid` INTEGER,
  `ref`     TEXT,
  `name`    TEXT
);
CREATE INDEX `travelbug_id` ON `travelbug` (`id`);

-- The program's own: the full-text index of the caches (db/FullText.cpp,
-- which holds the same text and builds it for databases without it). Only
-- the index is stored: its texts are read through the view, with functions
-- the program registers on its connections. `cachetext_state` is there
-- while the index is kept current.
CREATE VIEW `cachetext_source` AS SELECT `g`.`key` AS `key`, `g`.`id` AS `code`, `g`.`name` AS `name`, `g`.`author` AS `owner`, (SELECT tw_visible(`l`.`shortdesc`, `l`.`shortdescflag`) || ' ' || tw_visible(`l`.`longdesc`, `l`.`longdescflag`) FROM `geolist` AS `l` WHERE `l`.`id` = `g`.`id` ORDER BY `l`.`key` LIMIT 1) AS `listing`, (SELECT replace(`l`.`hint`, '<br>', ' ') FROM `geolist` AS `l` WHERE `l`.`id` = `g`.`id` ORDER BY `l`.`key` LIMIT 1) AS `hint`, (SELECT group_concat(`t`, ' ') FROM (SELECT coalesce(`finder`, '') || ' ' || tw_text(`logtext`) AS `t` FROM `geolog` WHERE `geolog`.`id` = `g`.`id` ORDER BY `dt`, `key`)) AS `logs`, `g`.`comment` AS `note`, (SELECT group_concat(`t`, ' ') FROM (SELECT coalesce(`name`, '') || ' ' || coalesce(`cmt`, '') || ' ' || coalesce(`comment`, '') AS `t` FROM `waypoint` WHERE `waypoint`.`id` = `g`.`id` ORDER BY `key`)) AS `waypoints` FROM `geocache` AS `g`;
CREATE VIRTUAL TABLE `cachetext` USING fts5(`listing`, `code`, `name`, `owner`, `hint`, `logs`, `note`, `waypoints`, content='cachetext_source', content_rowid='key', tokenize='unicode61 remove_diacritics 2');
INSERT INTO `cachetext` (`cachetext`, `rank`) VALUES ('rank', 'bm25(1.0, 8.0, 6.0, 3.0, 2.0, 0.5, 3.0, 1.0)');
INSERT INTO `cachetext` (`cachetext`, `rank`) VALUES ('hashsize', 4194304);
CREATE TABLE `cachetext_state` (`name` TEXT PRIMARY KEY, `value`);
INSERT INTO `cachetext_state` VALUES ('version', 2);

COMMIT;

-- Write-ahead logging: imports commit every cache on its own without
-- waiting for the disk each time, and readers never block the writer.
PRAGMA journal_mode = WAL;
