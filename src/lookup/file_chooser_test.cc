// Dateiauswahl on the scripted toolkit: what the file-open dialog is asked,
// and the path made of its answer.
#include <gtest/gtest.h>

#include <stdexcept>

#include "lookup/global.h"
#include "testing/scripted_toolkit.h"

namespace noxplz {
namespace {

using testing::ScriptedToolkit;

TEST(FileChooser, AsksWithAllFilesFirstAndJoinsTheAnswer) {
  auto tk = std::make_shared<ScriptedToolkit>();
  ScopedToolkit use(tk);
  tk->ExpectOpenFile(FileChoice{"/home/anna", "daten.dat"}, [](const FileDialogRequest& r) {
    EXPECT_EQ(r.title + "|" + r.file_name + "|" + r.initial_dir, "Titel|daten.dat|/home");
    // Entries empty after trimming are skipped; the others go in untrimmed.
    EXPECT_EQ(r.filters, (std::vector<std::string>{"Alle Dateien (*.*):*.*", " Texte (*.txt):*.txt",
                                                   "Datafactory Postalcode (*.dat):*.dat"}));
    EXPECT_EQ(std::vector<bool>({r.option1, r.option2, r.option3, r.always_on}),
              std::vector<bool>({true, false, true, true}));
  });
  const std::vector<std::string> filter = {" Texte (*.txt):*.txt", "   ", "", "Datafactory Postalcode (*.dat):*.dat"};
  EXPECT_EQ(Dateiauswahl("Titel", "daten", "dat", filter, "/home", true, false, true), "/home/anna/daten.dat");
  // Without an extension the proposed name has no full stop; cancelled, the path is empty.
  tk->ExpectOpenFile(std::nullopt, [](const FileDialogRequest& r) { EXPECT_EQ(r.file_name, "daten"); });
  EXPECT_EQ(Dateiauswahl("T", "daten", "", {}, "", false, false, false), "");
  // The root directory gets no second separator.
  tk->ExpectOpenFile(FileChoice{"/", "plz.dat"});
  EXPECT_EQ(Dateiauswahl("T", "", "", {}, "", false, true, false), "/plz.dat");
}

class FailingToolkit : public ScriptedToolkit {
 public:
  std::optional<FileChoice> OpenFile(const FileDialogRequest&) override { throw std::runtime_error("kaputt"); }
};

TEST(FileChooser, AFailingDialogShowsTheFixedMessageAndGivesNothing) {
  auto tk = std::make_shared<FailingToolkit>();
  ScopedToolkit use(tk);
  tk->ExpectMsgBox("Fehler bei Dateiauswahl", mb::kOk, mb::kOkOnly, "NoxPlz");
  EXPECT_EQ(Dateiauswahl("T", "", "", {}, "", false, true, false), "");
}

}  // namespace
}  // namespace noxplz
