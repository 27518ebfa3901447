-- The nine postal tables in a PostgreSQL database (PostgreSQL 12 or newer,
-- built with ICU, as every common distribution ships it).
--
-- Texts are CHAR(n) in the nondeterministic ICU collation noxplz_ci: German
-- order, letters compared without regard to case (ä = Ä, but ä <> a and
-- ß <> ss), and, because the type is CHAR, trailing blanks ignored in every
-- comparison. That is how SQL Server with a case-insensitive German collation
-- answers the component's statements. The NoxPlz backend turns LIKE into a
-- comparison of lower-case text under the "C" collation (PostgreSQL offers no
-- LIKE on a nondeterministic collation); the two expression indexes below
-- make a prefix search on place and street names an index range scan.
--
-- The data tables carry no unique key: a record the file holds twice is stored twice.
-- Run it once per database (psql -f, or noxplz --connection … init); it
-- leaves existing tables and indexes alone.

CREATE COLLATION IF NOT EXISTS noxplz_ci (provider = icu, locale = 'de-u-ks-level2', deterministic = false);

CREATE TABLE IF NOT EXISTS GROSS_DA (
  Version_Dateikennung CHAR(2) COLLATE noxplz_ci,
  Version_Datum CHAR(4) COLLATE noxplz_ci,
  Version_Nr CHAR(3) COLLATE noxplz_ci,
  Datum CHAR(8) COLLATE noxplz_ci,
  ID_NR CHAR(8) COLLATE noxplz_ci,
  Name_Sort CHAR(40) COLLATE noxplz_ci,
  Name CHAR(160) COLLATE noxplz_ci,
  Str_Name_46 CHAR(46) COLLATE noxplz_ci,
  HNR_Von CHAR(8) COLLATE noxplz_ci,
  HNR_Bis CHAR(8) COLLATE noxplz_ci,
  PLZ_Haus CHAR(5) COLLATE noxplz_ci,
  Alort_Haus CHAR(8) COLLATE noxplz_ci,
  Fikt_Pfnr CHAR(6) COLLATE noxplz_ci,
  PLZ_GE CHAR(5) COLLATE noxplz_ci,
  GRGE_CODE CHAR(3) COLLATE noxplz_ci,
  PLZ_ART CHAR(1) COLLATE noxplz_ci,
  ALORT_GE CHAR(8) COLLATE noxplz_ci
);

CREATE TABLE IF NOT EXISTS KGS_DA (
  versionkennung CHAR(2) COLLATE noxplz_ci,
  versiondatum CHAR(4) COLLATE noxplz_ci,
  versionnr CHAR(3) COLLATE noxplz_ci,
  datum CHAR(8) COLLATE noxplz_ci,
  schluessel CHAR(8) COLLATE noxplz_ci,
  satzart CHAR(1) COLLATE noxplz_ci,
  name CHAR(40) COLLATE noxplz_ci
);

CREATE TABLE IF NOT EXISTS ORG_DA (
  Version_Dateikennung CHAR(2) COLLATE noxplz_ci,
  Version_Datum CHAR(4) COLLATE noxplz_ci,
  Version_Nr CHAR(3) COLLATE noxplz_ci,
  Datum CHAR(8) COLLATE noxplz_ci,
  ALOrg CHAR(8) COLLATE noxplz_ci,
  Name CHAR(90) COLLATE noxplz_ci,
  NPANST CHAR(3) COLLATE noxplz_ci,
  DIRNL_BRIEF CHAR(4) COLLATE noxplz_ci,
  PANSTART CHAR(2) COLLATE noxplz_ci,
  STR_NAME46 CHAR(46) COLLATE noxplz_ci,
  HNR_VON CHAR(8) COLLATE noxplz_ci,
  HNR_BIS CHAR(8) COLLATE noxplz_ci,
  PLZ_HAUS CHAR(5) COLLATE noxplz_ci,
  PPF_NR_REAL CHAR(6) COLLATE noxplz_ci,
  PLZ_PF CHAR(5) COLLATE noxplz_ci,
  RESERVE CHAR(6) COLLATE noxplz_ci,
  PLZ_GE CHAR(5) COLLATE noxplz_ci,
  TELEFON CHAR(20) COLLATE noxplz_ci,
  TELEFAX CHAR(20) COLLATE noxplz_ci,
  ALORT_HAUS CHAR(8) COLLATE noxplz_ci,
  PLZ_LAGER_B CHAR(5) COLLATE noxplz_ci,
  PLZ_LAGER_F CHAR(5) COLLATE noxplz_ci
);

CREATE TABLE IF NOT EXISTS ORT_DA (
  Version_Dateikennung CHAR(2) COLLATE noxplz_ci,
  Version_Datum CHAR(4) COLLATE noxplz_ci,
  Version_Nr CHAR(3) COLLATE noxplz_ci,
  Datum CHAR(8) COLLATE noxplz_ci,
  ALORT CHAR(8) COLLATE noxplz_ci,
  STATUS CHAR(1) COLLATE noxplz_ci,
  ONAME CHAR(40) COLLATE noxplz_ci,
  ONAME_POST CHAR(40) COLLATE noxplz_ci,
  OZUSATZ CHAR(30) COLLATE noxplz_ci,
  ART_OZUSATZ CHAR(1) COLLATE noxplz_ci,
  ONAME24 CHAR(24) COLLATE noxplz_ci,
  KGS CHAR(8) COLLATE noxplz_ci,
  ALORT_NEU CHAR(8) COLLATE noxplz_ci
);

CREATE TABLE IF NOT EXISTS OTL_DA (
  Version_Dateikennung CHAR(2) COLLATE noxplz_ci,
  Version_Datum CHAR(4) COLLATE noxplz_ci,
  Version_Nr CHAR(3) COLLATE noxplz_ci,
  Datum CHAR(8) COLLATE noxplz_ci,
  ALORT CHAR(8) COLLATE noxplz_ci,
  SCHL CHAR(3) COLLATE noxplz_ci,
  PLZ CHAR(5) COLLATE noxplz_ci,
  STATUS CHAR(1) COLLATE noxplz_ci,
  STVERZ CHAR(1) COLLATE noxplz_ci,
  NAME CHAR(40) COLLATE noxplz_ci,
  KGS CHAR(8) COLLATE noxplz_ci
);

CREATE TABLE IF NOT EXISTS POFA_DA (
  Version_Dateikennung CHAR(2) COLLATE noxplz_ci,
  Version_Datum CHAR(4) COLLATE noxplz_ci,
  Version_Nr CHAR(3) COLLATE noxplz_ci,
  Datum CHAR(8) COLLATE noxplz_ci,
  ALORT CHAR(8) COLLATE noxplz_ci,
  PFNRVON CHAR(6) COLLATE noxplz_ci,
  PFNRBIS CHAR(6) COLLATE noxplz_ci,
  STATUS CHAR(1) COLLATE noxplz_ci,
  ALORG CHAR(8) COLLATE noxplz_ci,
  PFVERZ CHAR(1) COLLATE noxplz_ci,
  PLZ CHAR(5) COLLATE noxplz_ci,
  PLZ_ART_AUSLIEFERUNG CHAR(1) COLLATE noxplz_ci,
  PFNRVON_NEU CHAR(6) COLLATE noxplz_ci,
  PFNRBIS_NEU CHAR(6) COLLATE noxplz_ci
);

CREATE TABLE IF NOT EXISTS PLZ_DA (
  Version_Dateikennung CHAR(2) COLLATE noxplz_ci,
  Version_Datum CHAR(4) COLLATE noxplz_ci,
  Version_Nr CHAR(3) COLLATE noxplz_ci,
  Datum CHAR(8) COLLATE noxplz_ci,
  PLZ CHAR(5) COLLATE noxplz_ci,
  ALORT CHAR(8) COLLATE noxplz_ci,
  ART_Kardinalitaet CHAR(1) COLLATE noxplz_ci,
  ART_Auslieferung CHAR(1) COLLATE noxplz_ci,
  STVerz CHAR(1) COLLATE noxplz_ci,
  PFVERZ CHAR(1) COLLATE noxplz_ci,
  OName CHAR(40) COLLATE noxplz_ci,
  OZusatz CHAR(30) COLLATE noxplz_ci,
  Art_Ozusatz CHAR(1) COLLATE noxplz_ci,
  OName24 CHAR(24) COLLATE noxplz_ci,
  Postlag CHAR(1) COLLATE noxplz_ci,
  LA_Brief CHAR(8) COLLATE noxplz_ci,
  LA_Alort CHAR(8) COLLATE noxplz_ci,
  KGS CHAR(8) COLLATE noxplz_ci,
  Ort_Code CHAR(3) COLLATE noxplz_ci,
  Leitcode_Max CHAR(3) COLLATE noxplz_ci,
  Rabatt_Info_Schwer CHAR(1) COLLATE noxplz_ci,
  Reserve CHAR(2) COLLATE noxplz_ci,
  FZ_NR CHAR(2) COLLATE noxplz_ci,
  BZ_NR CHAR(2) COLLATE noxplz_ci
);

CREATE TABLE IF NOT EXISTS STR_DA (
  Version_Dateikennung CHAR(2) COLLATE noxplz_ci,
  Version_Datum CHAR(4) COLLATE noxplz_ci,
  Version_Nr CHAR(3) COLLATE noxplz_ci,
  Datum CHAR(8) COLLATE noxplz_ci,
  ALORT CHAR(8) COLLATE noxplz_ci,
  Namen_Schluessel CHAR(6) COLLATE noxplz_ci,
  Bund_LFDNR CHAR(5) COLLATE noxplz_ci,
  HNRVON CHAR(8) COLLATE noxplz_ci,
  HNRBIS CHAR(8) COLLATE noxplz_ci,
  Status CHAR(1) COLLATE noxplz_ci,
  HNR_1000 CHAR(1) COLLATE noxplz_ci,
  STVerz CHAR(1) COLLATE noxplz_ci,
  Name_Sort CHAR(46) COLLATE noxplz_ci,
  Name46 CHAR(46) COLLATE noxplz_ci,
  Name22 CHAR(22) COLLATE noxplz_ci,
  Reserve CHAR(1) COLLATE noxplz_ci,
  HNR_Typ CHAR(1) COLLATE noxplz_ci,
  PLZ CHAR(5) COLLATE noxplz_ci,
  Code CHAR(3) COLLATE noxplz_ci,
  OTL_Schl CHAR(3) COLLATE noxplz_ci,
  ALORG_B CHAR(8) COLLATE noxplz_ci,
  KGS CHAR(8) COLLATE noxplz_ci,
  ALORT_Neu CHAR(8) COLLATE noxplz_ci,
  Namen_Schluessel_Neu CHAR(6) COLLATE noxplz_ci,
  Bund_Lfdnr_neu CHAR(5) COLLATE noxplz_ci,
  HNRVON_NEU CHAR(8) COLLATE noxplz_ci,
  HNRBIS_NEU CHAR(8) COLLATE noxplz_ci
);

CREATE TABLE IF NOT EXISTS PRUEF_DA (
  Version_Dateikennung CHAR(2) COLLATE noxplz_ci,
  Version_Datum CHAR(4) COLLATE noxplz_ci,
  Version_Nr CHAR(3) COLLATE noxplz_ci,
  Dateikennung CHAR(2) COLLATE noxplz_ci,
  Status CHAR(1) COLLATE noxplz_ci,
  Satzzahl NUMERIC(8, 0),
  Datum_Summe CHAR(16) COLLATE noxplz_ci
);

-- Indexes for the lookups: place name and key, postal code, street by place
-- and name, district by place and key.

CREATE INDEX IF NOT EXISTS IX_ORT_DA_ONAME ON ORT_DA (ONAME);
CREATE INDEX IF NOT EXISTS IX_ORT_DA_ALORT ON ORT_DA (ALORT);
CREATE INDEX IF NOT EXISTS IX_PLZ_DA_PLZ ON PLZ_DA (PLZ);
CREATE INDEX IF NOT EXISTS IX_PLZ_DA_ALORT ON PLZ_DA (ALORT);
CREATE INDEX IF NOT EXISTS IX_STR_DA_ALORT_NAME46 ON STR_DA (ALORT, Name46);
CREATE INDEX IF NOT EXISTS IX_OTL_DA_ALORT_SCHL ON OTL_DA (ALORT, SCHL);

-- The prefix searches (OName LIKE 'mün%', Name46 LIKE 'haupt%') as the backend writes them.
CREATE INDEX IF NOT EXISTS IX_ORT_DA_ONAME_LIKE ON ORT_DA ((lower(ONAME::text COLLATE "und-x-icu") COLLATE "C"));
CREATE INDEX IF NOT EXISTS IX_STR_DA_ALORT_NAME46_LIKE
  ON STR_DA (ALORT, (lower(NAME46::text COLLATE "und-x-icu") COLLATE "C"));
