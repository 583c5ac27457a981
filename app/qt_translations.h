// Qt's own texts (the open dialog's labels and buttons, the message boxes'
// buttons) in Simplified Chinese, like every other text of the window, whatever
// the system's language.
#pragma once

namespace qv {

// Loads Qt's Chinese catalogue (qtbase_zh_CN.qm) from translations/ beside the
// program (the Windows package) or Qt's own folder (Linux), installs it and
// makes Chinese the default locale. False when no catalogue was found: the
// texts then stay Qt's English ones. Call once the application object exists.
bool InstallQtChineseTranslations();

}  // namespace qv
