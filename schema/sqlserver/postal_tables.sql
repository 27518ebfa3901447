-- The nine postal tables for a host database on SQL Server.
-- Use a case-insensitive database collation (e.g. Latin1_General_CI_AS);
-- the component spells table and column names in varying letter case.
-- The data tables carry no unique key: a record the file holds twice is stored twice.

CREATE TABLE GROSS_DA (
  Version_Dateikennung VARCHAR(2),
  Version_Datum VARCHAR(4),
  Version_Nr VARCHAR(3),
  Datum VARCHAR(8),
  ID_NR VARCHAR(8),
  Name_Sort VARCHAR(40),
  Name VARCHAR(160),
  Str_Name_46 VARCHAR(46),
  HNR_Von VARCHAR(8),
  HNR_Bis VARCHAR(8),
  PLZ_Haus VARCHAR(5),
  Alort_Haus VARCHAR(8),
  Fikt_Pfnr VARCHAR(6),
  PLZ_GE VARCHAR(5),
  GRGE_CODE VARCHAR(3),
  PLZ_ART VARCHAR(1),
  ALORT_GE VARCHAR(8)
);
GO

CREATE TABLE KGS_DA (
  versionkennung VARCHAR(2),
  versiondatum VARCHAR(4),
  versionnr VARCHAR(3),
  datum VARCHAR(8),
  schluessel VARCHAR(8),
  satzart VARCHAR(1),
  name VARCHAR(40)
);
GO

CREATE TABLE ORG_DA (
  Version_Dateikennung VARCHAR(2),
  Version_Datum VARCHAR(4),
  Version_Nr VARCHAR(3),
  Datum VARCHAR(8),
  ALOrg VARCHAR(8),
  Name VARCHAR(90),
  NPANST VARCHAR(3),
  DIRNL_BRIEF VARCHAR(4),
  PANSTART VARCHAR(2),
  STR_NAME46 VARCHAR(46),
  HNR_VON VARCHAR(8),
  HNR_BIS VARCHAR(8),
  PLZ_HAUS VARCHAR(5),
  PPF_NR_REAL VARCHAR(6),
  PLZ_PF VARCHAR(5),
  RESERVE VARCHAR(6),
  PLZ_GE VARCHAR(5),
  TELEFON VARCHAR(20),
  TELEFAX VARCHAR(20),
  ALORT_HAUS VARCHAR(8),
  PLZ_LAGER_B VARCHAR(5),
  PLZ_LAGER_F VARCHAR(5)
);
GO

CREATE TABLE ORT_DA (
  Version_Dateikennung VARCHAR(2),
  Version_Datum VARCHAR(4),
  Version_Nr VARCHAR(3),
  Datum VARCHAR(8),
  ALORT VARCHAR(8),
  STATUS VARCHAR(1),
  ONAME VARCHAR(40),
  ONAME_POST VARCHAR(40),
  OZUSATZ VARCHAR(30),
  ART_OZUSATZ VARCHAR(1),
  ONAME24 VARCHAR(24),
  KGS VARCHAR(8),
  ALORT_NEU VARCHAR(8)
);
GO

CREATE TABLE OTL_DA (
  Version_Dateikennung VARCHAR(2),
  Version_Datum VARCHAR(4),
  Version_Nr VARCHAR(3),
  Datum VARCHAR(8),
  ALORT VARCHAR(8),
  SCHL VARCHAR(3),
  PLZ VARCHAR(5),
  STATUS VARCHAR(1),
  STVERZ VARCHAR(1),
  NAME VARCHAR(40),
  KGS VARCHAR(8)
);
GO

CREATE TABLE POFA_DA (
  Version_Dateikennung VARCHAR(2),
  Version_Datum VARCHAR(4),
  Version_Nr VARCHAR(3),
  Datum VARCHAR(8),
  ALORT VARCHAR(8),
  PFNRVON VARCHAR(6),
  PFNRBIS VARCHAR(6),
  STATUS VARCHAR(1),
  ALORG VARCHAR(8),
  PFVERZ VARCHAR(1),
  PLZ VARCHAR(5),
  PLZ_ART_AUSLIEFERUNG VARCHAR(1),
  PFNRVON_NEU VARCHAR(6),
  PFNRBIS_NEU VARCHAR(6)
);
GO

CREATE TABLE PLZ_DA (
  Version_Dateikennung VARCHAR(2),
  Version_Datum VARCHAR(4),
  Version_Nr VARCHAR(3),
  Datum VARCHAR(8),
  PLZ VARCHAR(5),
  ALORT VARCHAR(8),
  ART_Kardinalitaet VARCHAR(1),
  ART_Auslieferung VARCHAR(1),
  STVerz VARCHAR(1),
  PFVERZ VARCHAR(1),
  OName VARCHAR(40),
  OZusatz VARCHAR(30),
  Art_Ozusatz VARCHAR(1),
  OName24 VARCHAR(24),
  Postlag VARCHAR(1),
  LA_Brief VARCHAR(8),
  LA_Alort VARCHAR(8),
  KGS VARCHAR(8),
  Ort_Code VARCHAR(3),
  Leitcode_Max VARCHAR(3),
  Rabatt_Info_Schwer VARCHAR(1),
  Reserve VARCHAR(2),
  FZ_NR VARCHAR(2),
  BZ_NR VARCHAR(2)
);
GO

CREATE TABLE STR_DA (
  Version_Dateikennung VARCHAR(2),
  Version_Datum VARCHAR(4),
  Version_Nr VARCHAR(3),
  Datum VARCHAR(8),
  ALORT VARCHAR(8),
  Namen_Schluessel VARCHAR(6),
  Bund_LFDNR VARCHAR(5),
  HNRVON VARCHAR(8),
  HNRBIS VARCHAR(8),
  Status VARCHAR(1),
  HNR_1000 VARCHAR(1),
  STVerz VARCHAR(1),
  Name_Sort VARCHAR(46),
  Name46 VARCHAR(46),
  Name22 VARCHAR(22),
  Reserve VARCHAR(1),
  HNR_Typ VARCHAR(1),
  PLZ VARCHAR(5),
  Code VARCHAR(3),
  OTL_Schl VARCHAR(3),
  ALORG_B VARCHAR(8),
  KGS VARCHAR(8),
  ALORT_Neu VARCHAR(8),
  Namen_Schluessel_Neu VARCHAR(6),
  Bund_Lfdnr_neu VARCHAR(5),
  HNRVON_NEU VARCHAR(8),
  HNRBIS_NEU VARCHAR(8)
);
GO

CREATE TABLE PRUEF_DA (
  Version_Dateikennung VARCHAR(2),
  Version_Datum VARCHAR(4),
  Version_Nr VARCHAR(3),
  Dateikennung VARCHAR(2),
  Status VARCHAR(1),
  Satzzahl NUMERIC(8, 0),
  Datum_Summe VARCHAR(16)
);
GO

-- Indexes for the lookups: place name and key, postal code, street by place
-- and name, district by place and key.

CREATE INDEX IX_ORT_DA_ONAME ON ORT_DA (ONAME);
GO
CREATE INDEX IX_ORT_DA_ALORT ON ORT_DA (ALORT);
GO
CREATE INDEX IX_PLZ_DA_PLZ ON PLZ_DA (PLZ);
GO
CREATE INDEX IX_PLZ_DA_ALORT ON PLZ_DA (ALORT);
GO
CREATE INDEX IX_STR_DA_ALORT_NAME46 ON STR_DA (ALORT, Name46);
GO
CREATE INDEX IX_OTL_DA_ALORT_SCHL ON OTL_DA (ALORT, SCHL);
GO
