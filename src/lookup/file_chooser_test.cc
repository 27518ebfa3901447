// Dateiauswahl on the scripted toolkit: what the file-open dialog is asked,
// and the path made of its answer.
#include <gtest/gtest.h>

#include <stdexcept>

#include "lookup/global.h"
#include "testing/scripted_toolkit.h"

namespace noxplz {
namespace {

using testing::ScriptedToolkit;

class FileChooserTest : public ::testing::Test {
 protected:
  std::shared_ptr<ScriptedToolkit> tk_ = std::make_shared<ScriptedToolkit>();
  ScopedToolkit use_{tk_};
};

TEST_F(FileChooserTest, OffersAllFilesFirstAndSkipsEmptyFilters) {
  tk_->ExpectOpenFile(FileChoice{"/home/anna", "daten.dat"}, [](const FileDialogRequest& r) {
    EXPECT_EQ(r.title, "Titel");
    EXPECT_EQ(r.file_name, "daten.dat");
    EXPECT_EQ(r.initial_dir, "/home");
    // Entries empty after trimming are skipped; the others go in untrimmed.
    EXPECT_EQ(r.filters, (std::vector<std::string>{"Alle Dateien (*.*):*.*", " Texte (*.txt):*.txt",
                                                   "Datafactory Postalcode (*.dat):*.dat"}));
    EXPECT_TRUE(r.option1);
    EXPECT_FALSE(r.option2);
    EXPECT_TRUE(r.option3);
    EXPECT_TRUE(r.always_on);
  });
  const std::vector<std::string> filter = {" Texte (*.txt):*.txt", "   ", "", "Datafactory Postalcode (*.dat):*.dat"};
  EXPECT_EQ(Dateiauswahl("Titel", "daten", "dat", filter, "/home", true, false, true), "/home/anna/daten.dat");
}

TEST_F(FileChooserTest, ProposedNameWithoutExtensionHasNoFullStop) {
  tk_->ExpectOpenFile(std::nullopt, [](const FileDialogRequest& r) { EXPECT_EQ(r.file_name, "daten"); });
  EXPECT_EQ(Dateiauswahl("T", "daten", "", {}, "", false, false, false), "");
}

TEST_F(FileChooserTest, RootDirectoryGetsNoSecondSeparator) {
  tk_->ExpectOpenFile(FileChoice{"/", "plz.dat"});
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
