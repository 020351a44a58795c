unit VklIniStore;

{ TVkIniStore keeps the settings in an INI file; an empty FileName means the application's
  name with the extension .ini, next to the executable. }

{$I Velkora.inc}

interface

uses
  Classes, SysUtils, VklStore, VklIniParser, VklIniWriter, VklPaths;

type
  TVkIniStore = class(TVkSettingsStore)
  private
    FFileName: string;
    FIni: TVkIniDocument;
    function Document: TVkIniDocument;
  protected
    function DoReadString(const Section, Ident: string; out Value: string): Boolean; override;
    procedure DoWriteString(const Section, Ident, Value: string); override;
    procedure DoDeleteValue(const Section, Ident: string); override;
    procedure DoReadSections(Strings: TStrings); override;
  public
    destructor Destroy; override;
    procedure Flush;
  published
    property FileName: string read FFileName write FFileName;
  end;

implementation

destructor TVkIniStore.Destroy;
begin
  if FIni <> nil then
    Flush;
  FIni.Free;
  inherited Destroy;
end;

function TVkIniStore.Document: TVkIniDocument;
var
  Name: string;
begin
  if FIni = nil then
  begin
    Name := FFileName;
    if Name = '' then
      Name := VkDefaultIniName;
    FIni := VkLoadIniDocument(Name);
  end;
  Result := FIni;
end;

function TVkIniStore.DoReadString(const Section, Ident: string; out Value: string): Boolean;
begin
  Result := Document.Find(Section, Ident, Value);
end;

procedure TVkIniStore.DoWriteString(const Section, Ident, Value: string);
begin
  Document.Put(Section, Ident, Value);
end;

procedure TVkIniStore.DoDeleteValue(const Section, Ident: string);
begin
  Document.Remove(Section, Ident);
end;

procedure TVkIniStore.DoReadSections(Strings: TStrings);
begin
  Document.GetSections(Strings);
end;

procedure TVkIniStore.Flush;
begin
  if (FIni <> nil) and FIni.Modified then
    VkSaveIniDocument(FIni);
end;

end.
