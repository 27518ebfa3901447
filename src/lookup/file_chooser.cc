// Dateiauswahl: a file-open dialog on the thread's toolkit.
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "lookup/global.h"
#include "noxplz/ui.h"
#include "platform/text.h"

namespace noxplz {

std::string Dateiauswahl(const std::string& titel, const std::string& dateiname,
                         const std::string& erweiterung, const std::vector<std::string>& filter,
                         const std::string& verzeichnis, bool option1, bool option2, bool option3) {
  std::string ergebnis;
  try {
    FileDialogRequest request;
    request.file_name = erweiterung.empty() ? dateiname : dateiname + "." + erweiterung;
    request.title = titel;
    request.filters.push_back("Alle Dateien (*.*):*.*");
    for (const std::string& f : filter)
      if (!text::trim(f).empty()) request.filters.push_back(f);
    request.initial_dir = verzeichnis;
    request.option1 = option1;
    request.option3 = option3;
    request.option2 = option2;
    request.always_on = true;

    if (std::optional<FileChoice> choice = toolkit().OpenFile(request)) {
      // Directory and name joined with the separator of this system; a
      // directory that already ends in one (the root) gets no second.
      if (choice->directory.empty() || choice->directory.back() == '/')
        ergebnis = choice->directory + choice->file_name;
      else
        ergebnis = choice->directory + "/" + choice->file_name;
    }
  } catch (const std::exception&) {
    msg_box("Fehler bei Dateiauswahl");
    ergebnis.clear();
  }
  return ergebnis;
}

}  // namespace noxplz
