// The per-thread session state shared by every clsPlzManager and
// clsPlzImport object of a thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "noxplz/db.h"
#include "noxplz/reason.h"
#include "noxplz/variant.h"

namespace noxplz {

// Record counters of the import, one per data record type.
struct RecordCounters {
  int32_t GE = 0, KG = 0, OE = 0, OR = 0, OT = 0, PF = 0, PL = 0, ST = 0;
};

struct AddressCheckCache;
struct KeptLists;

struct Session {
  ConnectionPtr connection;
  std::string connectionstring;
  std::shared_ptr<void> appObj;
  bool MitOrtteiAnzeige = false;
  bool OkMeldungUnterdrucken = false;
  int32_t Geprueft = 0;
  Reason Grund;  // of the last search

  std::string Such_Plz, Such_Postfach, Such_Strasse, Such_Hausnummer, Such_Ort, Such_OrtsTeil,
      Such_Gemeinde, Such_GrossEmpfaenge;
  std::string Plz, Postfach, Strasse, Hausnummer, Ort, OrtsTeil, Gemeinde, GrossEmpfaenge;

  std::string AktuellerAlort;
  VariantTablePtr OrtTabelle;
  VariantTablePtr StrTabelle;
  // What the address check read from this session's connection, kept while
  // the data stays the same.
  std::shared_ptr<AddressCheckCache> check_cache;
  // Lists kept likewise: the last places' lists of all streets
  // (Ermittle_Strassen), place lists by name and the place directory.
  std::shared_ptr<KeptLists> kept_lists;

  RecordCounters counters;
};

// The calling thread's session.
Session& session();
// True once the calling thread's session has been destroyed (thread exit, or
// program exit for the main thread): a manager object that outlives it, such
// as a static one, must not touch it any more.
bool session_ended();

}  // namespace noxplz
