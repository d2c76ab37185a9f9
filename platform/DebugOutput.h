#pragma once
// Debugger output: on Linux the text goes to standard error as it is, in one write so lines
// from several threads do not interleave.
namespace lumo::os {

void OutputDebugStringA(const char* text);

}  // namespace lumo::os
