unit VklIniWriter;

{ Writes an INI document through a temporary file, so that a failed write never leaves a
  half-written settings file behind. }

{$I Velkora.inc}

interface

uses
  Windows, SysUtils, VklIniParser, VklPaths;

procedure VkSaveIniDocument(Document: TVkIniDocument);

implementation

procedure VkSaveIniDocument(Document: TVkIniDocument);
var
  TempName: string;
begin
  VkForceDirectoryOf(Document.FileName);
  TempName := Document.FileName + '.tmp';
  Document.Lines.SaveToFile(TempName);
  if FileExists(Document.FileName) and not DeleteFile(Document.FileName) then
    RaiseLastOSError;
  if not RenameFile(TempName, Document.FileName) then
    RaiseLastOSError;
  Document.Modified := False;
end;

end.
