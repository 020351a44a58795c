#include "product/UProducts.h"

namespace {
constexpr uint32_t Bit(int index) {
    return uint32_t{1} << (index - 1);
}
}  // namespace

// clang-format off
TBorlandProduct BorlandProducts[BorlandProductCount + 1] = {
    {L"", 0, {}, false, false, L"", {L"", L"", L""}, false, false},
    {L"Delphi3",     Bit(1),  {}, false, false, L"Software\\Borland\\Delphi\\3.0",      {L"delphi3.cfg", L"",            L""},            true,  false},
    {L"Delphi4",     Bit(2),  {}, false, false, L"Software\\Borland\\Delphi\\4.0",      {L"delphi4.cfg", L"delphi4.ohi", L"delphi4.ohl"}, true,  false},
    {L"Delphi5",     Bit(3),  {}, false, false, L"Software\\Borland\\Delphi\\5.0",      {L"delphi5.ohi", L"delphi5.ohl", L""},            true,  false},
    {L"CBuilder3",   Bit(4),  {}, false, false, L"Software\\Borland\\C++Builder\\3.0",  {L"",            L"",            L""},            false, false},
    {L"CBuilder4",   Bit(5),  {}, false, false, L"Software\\Borland\\C++Builder\\4.0",  {L"bcb4.cfg",    L"bcb4.ohi",    L"bcb4.ohl"},    false, false},
    {L"CBuilder5",   Bit(6),  {}, false, false, L"Software\\Borland\\C++Builder\\5.0",  {L"bcb5.ohi",    L"bcb5.ohl",    L""},            false, false},
    {L"Delphi6",     Bit(7),  {}, false, false, L"Software\\Borland\\Delphi\\6.0",      {L"delphi6.ohi", L"delphi6.ohl", L"delphi6.als"}, true,  false},
    {L"CBuilder6",   Bit(8),  {}, false, false, L"Software\\Borland\\C++Builder\\6.0",  {L"bcb6.ohi",    L"bcb6.ohl",    L"bcb6.als"},    false, false},
    {L"Delphi7",     Bit(9),  {}, false, false, L"Software\\Borland\\Delphi\\7.0",      {L"d7.ohi",      L"d7.ohl",      L"d7.als"},      true,  false},
    {L"Delphi9",     Bit(10), {}, false, false, L"Software\\Borland\\BDS\\3.0",         {L"", L"", L""}, true, false},
    {L"BDS2006",     Bit(11), {}, false, false, L"Software\\Borland\\BDS\\4.0",         {L"", L"", L""}, true, false},
    {L"Delphi2007",  Bit(12), {}, false, false, L"Software\\Borland\\BDS\\5.0",         {L"", L"", L""}, true, false},
    {L"BDS2009",     Bit(13), {}, false, false, L"Software\\CodeGear\\BDS\\6.0",        {L"", L"", L""}, true, false},
    {L"BDS2010",     Bit(14), {}, false, false, L"Software\\CodeGear\\BDS\\7.0",        {L"", L"", L""}, true, false},
    {L"RADStudio8",  Bit(15), {}, false, false, L"Software\\Embarcadero\\BDS\\8.0",     {L"", L"", L""}, true, false},
    {L"RADStudio9",  Bit(16), {}, false, false, L"Software\\Embarcadero\\BDS\\9.0",     {L"", L"", L""}, true, true},
    {L"RADStudio10", Bit(17), {}, false, false, L"Software\\Embarcadero\\BDS\\10.0",    {L"", L"", L""}, true, true},
    {L"RADStudio11", Bit(18), {}, false, false, L"Software\\Embarcadero\\BDS\\11.0",    {L"", L"", L""}, true, true},
    {L"RADStudio12", Bit(19), {}, false, false, L"Software\\Embarcadero\\BDS\\12.0",    {L"", L"", L""}, true, true},
    {L"RADStudio14", Bit(20), {}, false, false, L"Software\\Embarcadero\\BDS\\14.0",    {L"", L"", L""}, true, true},
    {L"RADStudio15", Bit(21), {}, false, false, L"Software\\Embarcadero\\BDS\\15.0",    {L"", L"", L""}, true, true},
    {L"RADStudio16", Bit(22), {}, false, false, L"Software\\Embarcadero\\BDS\\16.0",    {L"", L"", L""}, true, true},
    {L"RADStudio17", Bit(23), {}, false, false, L"Software\\Embarcadero\\BDS\\17.0",    {L"", L"", L""}, true, true},
    {L"RADStudio18", Bit(24), {}, false, false, L"Software\\Embarcadero\\BDS\\18.0",    {L"", L"", L""}, true, true},
    {L"RADStudio19", Bit(25), {}, false, false, L"Software\\Embarcadero\\BDS\\19.0",    {L"", L"", L""}, true, true},
    {L"RADStudio20", Bit(26), {}, false, false, L"Software\\Embarcadero\\BDS\\20.0",    {L"", L"", L""}, true, true},
    {L"RADStudio21", Bit(27), {}, false, false, L"Software\\Embarcadero\\BDS\\21.0",    {L"", L"", L""}, true, true},
    {L"RADStudio22", Bit(28), {}, false, false, L"Software\\Embarcadero\\BDS\\22.0",    {L"", L"", L""}, true, true},
};
// clang-format on

int CurrentProduct = 0;
std::wstring CurrentProductDir;
