#pragma once
// The class library's date-time: days since 30 December 1899, the time of day
// as the fraction. Stored settings keep this form so files stay comparable
// with those of the Windows program.
using TDateTime = double;

// Days between 30 December 1899 and 1 January 1970.
inline constexpr double UnixDateDelta = 25569.0;

// The current local date and time.
TDateTime Now();
