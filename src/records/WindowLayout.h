#pragma once

#include "layout/RecordLayout.h"

class FrmZevo;

// The layout shown in the record-format panel at this moment: TxtF(0..8), TxtT(0..7), IsCheck and
// YearCheck.
RecordLayout layoutFromWindow(const FrmZevo &window);
