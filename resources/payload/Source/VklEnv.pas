unit VklEnv;

{ Expands %NAME% environment references in stored paths, so that a setting may say
  "%APPDATA%\MyApp" and follow the user from machine to machine. }

{$I Velkora.inc}

interface

function VkExpandEnvironment(const Text: string): string;

implementation

uses
  Windows;

function VkExpandEnvironment(const Text: string): string;
var
  Size: DWORD;
begin
  Size := ExpandEnvironmentStrings(PChar(Text), nil, 0);
  if Size = 0 then
  begin
    Result := Text;
    Exit;
  end;
  SetLength(Result, Size);
  ExpandEnvironmentStrings(PChar(Text), PChar(Result), Size);
  SetLength(Result, Size - 1);
end;

end.
