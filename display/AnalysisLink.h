#pragma once

class QWidget;

// How the focus-frame display reaches the focus analysis window: through the
// window registry and IAnalysisWindow only.
namespace zelmora::display::analysis {

// Closes the window when it is loaded (its closing clears its history and bNewStar).
void close();
// Opens it modeless (creating it when needed), sends it to the back and brings
// `front` forward again.
void showBehind(QWidget* front);
// Hands the new frame's crop to the loaded window; an error reaches the caller.
void updateHistory();
// The same for the crop of a star the user has just clicked.
void updateHistoryOnStarClick();

}  // namespace zelmora::display::analysis
