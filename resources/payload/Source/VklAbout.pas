unit VklAbout;

{ The library's about box lives in vkabout.dll beside the sources, so that the design-time
  package shows it without linking dialog resources of its own. }

{$I Velkora.inc}

interface

uses
  Windows;

function VkShowAbout(Owner: HWND): Boolean;

implementation

type
  TVkAboutProc = function(Owner: HWND): Integer; stdcall;

function VkShowAbout(Owner: HWND): Boolean;
var
  Library_: HMODULE;
  ShowAbout: TVkAboutProc;
begin
  Result := False;
  Library_ := LoadLibrary('vkabout.dll');
  if Library_ = 0 then
    Exit;
  try
    @ShowAbout := GetProcAddress(Library_, 'VkShowAbout');
    if Assigned(ShowAbout) then
      Result := ShowAbout(Owner) <> 0;
  finally
    FreeLibrary(Library_);
  end;
end;

end.
