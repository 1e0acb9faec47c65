#pragma once

#include <QByteArray>

// The console tool's help as the program prints it after its product line,
// with LF line ends (the Windows program writes CRLF).
inline const QByteArray commandLineHelpText
    = "\n"
      "Quorbilan command line parameters:\n"
      "\n"
      "/<program>:<profile>  optimize a certain profile. The profile name is the one\n"
      "                      shown in the Quorbilan profiles tree. Use the keyword\n"
      "                      all to mean every profile of that program\n"
      "\n"
      "/<program>:<path>     optimize a profile located at <path>, for portable\n"
      "                      versions of the supported programs\n"
      "\n"
      "Several profiles can be given at once. The related programs must not be\n"
      "running, otherwise their databases are locked and nothing is optimized.\n"
      "\n"
      "/list                 list the programs and profiles found on this computer\n"
      "                      without changing anything\n"
      "\n"
      "Examples:\n"
      "\n"
      "  Quorbilan /list\n"
      "  Quorbilan /Firefox:all\n"
      "  Quorbilan /Chrome:Default /Firefox:default-release\n"
      "  Quorbilan \"/Firefox:D:\\Portable\\Firefox\\Data\\profile\"\n"
      "\n";
