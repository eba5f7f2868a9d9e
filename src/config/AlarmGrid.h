#pragma once

#include <QString>
#include <optional>

// The check of one alarm-grid text. An empty text stands for 0. Only whole numbers are taken
// ("1." and ".5" read as numbers but have no time of day), so every accepted text has one meaning.
namespace AlarmGrid {

enum class Verdict { Accepted, NotANumber, OutOfRange };

struct Reading {
    Verdict verdict;
    int value = 0;  // when accepted
};

Reading read(const QString &text, int maximum);

constexpr int MaxHour = 23;
constexpr int MaxMinute = 59;

}  // namespace AlarmGrid
