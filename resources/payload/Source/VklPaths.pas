unit VklPaths;

{ File names the stores use by default. }

{$I Velkora.inc}

interface

function VkDefaultIniName: string;
procedure VkForceDirectoryOf(const FileName: string);

implementation

uses
  SysUtils;

function VkDefaultIniName: string;
begin
  Result := ChangeFileExt(ParamStr(0), '.ini');
end;

procedure VkForceDirectoryOf(const FileName: string);
var
  Dir: string;
begin
  Dir := ExtractFileDir(FileName);
  if Dir <> '' then
    ForceDirectories(Dir);
end;

end.
