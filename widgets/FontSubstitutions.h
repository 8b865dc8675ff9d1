#pragma once

// The windows name the fonts of the desktop they were drawn for ("細明體", "MS Sans Serif"). Qt resolves
// those names through its substitution table; this fills the table with installed fonts, once, at start-up.
namespace FontSubstitutions {

// Adds substitutes for each named font that is not installed itself. Safe to call more than once.
void install();

} // namespace FontSubstitutions
