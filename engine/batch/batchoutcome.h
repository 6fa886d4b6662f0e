#pragma once

#include <QMetaType>

// What one run of a batch job achieved, handed over when its last image is
// handled.
struct BatchOutcome
{
    bool openFailed = false;
    // Blank frames were to be skipped and every frame of the video is blank.
    bool blankVideo = false;
    int framesRequested = 0;
    // For a contact sheet, the frames drawn into it.
    int imagesSaved = 0;
    int extractionErrors = 0;
    int saveErrors = 0;
    // Contact sheets written (0 or 1).
    int sheetsSaved = 0;
    // Some images written are missing from the manifest.
    bool manifestFailed = false;

    int failures() const { return extractionErrors + saveErrors; }
};

Q_DECLARE_METATYPE(BatchOutcome)
