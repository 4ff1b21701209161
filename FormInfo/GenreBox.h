#pragma once
// Filling the two genre combo boxes of the editors with the ID3v1 genre names.

class QComboBox;

namespace varnello {

// Replaces the items of a genre box with the 126 genre names, shown in
// alphabetical order the way a sorted list box orders them (without regard to
// case). The text in the box's edit field stays as it was, and the box does
// not redraw until the fill is done.
void FillGenreBox(QComboBox* box);

// Makes a combo box behave as a genre box: an edit field whose text is taken
// exactly as typed (no completion, nothing added to the list on Enter) and a
// single empty item until it is filled.
void PrepareGenreBox(QComboBox* box);

} // namespace varnello
