#pragma once

class FrmZevo;

// Builds the control catalogue of FrmZevo: every control with its name, caption, design state,
// limits, tooltips, fonts, colours and place.
struct FrmZevoBuild {
    static void build(FrmZevo &w);
};
