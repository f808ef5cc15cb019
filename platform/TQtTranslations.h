#pragma once

#include <memory>

class QTranslator;

// Qt's own texts (standard buttons of message boxes, the folder dialog) in the interface
// language: Qt's Russian catalogue is installed for Russian and removed for English.
class TQtTranslations {
public:
    // False when Russian was asked but Qt's catalogue could not be loaded; Qt's texts then
    // stay English.
    static bool Apply(bool russian);

private:
    static std::unique_ptr<QTranslator>& Installed();
};
