// Small character routines of the error layer: integer <-> decimal text,
// moving and padding fixed-length text, searching and comparing. A text's
// length is the size of its view; positions are 1-based, 0 means "not found".
#pragma once

#include <span>
#include <string_view>

namespace ksatfit {

// NUM as decimal, right-justified in CHRSTR with blanks to its left.
// IER: 0 done; -1 empty field; 1 the digits fit but the minus sign does not;
// otherwise the number of positions missing (the sign counts as one).
void C1TIC(int NUM, std::span<char> CHRSTR, int& IER);

// Reads blanks, an optional sign, blanks, digits. IER: 0 when the digits run
// to the end; the position after the digits otherwise (NUM still set); -1 for
// an empty field; -2 on overflow; 1 for an all-blank field; the position of
// the first non-blank character when no digit follows it.
void C1TCI(std::string_view CHRSTR, int& NUM, int& IER);

// Moves INSTR(INBEG:INEND) into OUTSTR(OUTBEG:OUTEND), blank-filling the rest
// of the destination range. IER: 0 when all was moved; minus the number of
// source characters left over; -1 when OUTEND is beyond OUTSTR; -2 for a bad
// source range or a first position below 1 (nothing moved for -1 and -2).
void M1VE(std::string_view INSTR, int INBEG, int INEND, std::span<char> OUTSTR,
          int OUTBEG, int OUTEND, int& IER);

// STR2 becomes STR1, cut or blank-padded to STR2's length.
void M1VECH(std::string_view STR1, std::span<char> STR2);

// Position of the first occurrence of KEY in STR (I1X case-sensitive, I1DX
// case-insensitive); 0 when absent, empty, or KEY is longer than STR.
int I1X(std::string_view STR, std::string_view KEY);
int I1DX(std::string_view STR, std::string_view KEY);

// Position of the first character of STR that is not in SET; 0 when every
// character is; 1 when either is empty.
int I1ERIF(std::string_view STR, std::string_view SET);

// Case-insensitive comparison (-1, 0, 1); the shorter string counts as
// padded with blanks. With an empty string: the sign of the length difference.
int I1CSTR(std::string_view STR1, std::string_view STR2);

int IACHAR(char CH);
// The character's code with "a" to "z" folded to "A" to "Z".
int ICASE(char CH);
// CH becomes the character with code CODE (code 0 when CODE is negative).
void E3PRT(char& CH, int CODE);

}  // namespace ksatfit
