unit VklIniParser;

{ An INI file held in memory with its comments and order kept, so that writing a value
  changes nothing else in the file. }

{$I Velkora.inc}

interface

uses
  Classes, SysUtils, VklStrUtils;

type
  TVkIniDocument = class
  private
    FFileName: string;
    FLines: TStringList;
    FModified: Boolean;
    function SectionLine(const Section: string): Integer;
    function ValueLine(Start: Integer; const Ident: string): Integer;
  public
    constructor Create(const AFileName: string);
    destructor Destroy; override;
    function Find(const Section, Ident: string; out Value: string): Boolean;
    procedure Put(const Section, Ident, Value: string);
    procedure Remove(const Section, Ident: string);
    procedure GetSections(Strings: TStrings);
    property FileName: string read FFileName;
    property Lines: TStringList read FLines;
    property Modified: Boolean read FModified write FModified;
  end;

function VkLoadIniDocument(const FileName: string): TVkIniDocument;

implementation

constructor TVkIniDocument.Create(const AFileName: string);
begin
  inherited Create;
  FFileName := AFileName;
  FLines := TStringList.Create;
end;

destructor TVkIniDocument.Destroy;
begin
  FLines.Free;
  inherited Destroy;
end;

function TVkIniDocument.SectionLine(const Section: string): Integer;
begin
  for Result := 0 to FLines.Count - 1 do
    if SameText(Trim(FLines[Result]), '[' + Section + ']') then
      Exit;
  Result := -1;
end;

function TVkIniDocument.ValueLine(Start: Integer; const Ident: string): Integer;
begin
  Result := Start + 1;
  while (Result < FLines.Count) and not VkIsSectionHeader(FLines[Result]) do
  begin
    if SameText(VkNamePart(FLines[Result]), Ident) then
      Exit;
    Inc(Result);
  end;
  Result := -1;
end;

function TVkIniDocument.Find(const Section, Ident: string; out Value: string): Boolean;
var
  Start, Line: Integer;
begin
  Result := False;
  Start := SectionLine(Section);
  if Start < 0 then
    Exit;
  Line := ValueLine(Start, Ident);
  Result := Line >= 0;
  if Result then
    Value := VkValuePart(FLines[Line]);
end;

procedure TVkIniDocument.Put(const Section, Ident, Value: string);
var
  Start, Line: Integer;
begin
  Start := SectionLine(Section);
  if Start < 0 then
  begin
    FLines.Add('[' + Section + ']');
    Start := FLines.Count - 1;
  end;
  Line := ValueLine(Start, Ident);
  if Line >= 0 then
    FLines[Line] := Ident + '=' + Value
  else
    FLines.Insert(Start + 1, Ident + '=' + Value);
  FModified := True;
end;

procedure TVkIniDocument.Remove(const Section, Ident: string);
var
  Start, Line: Integer;
begin
  Start := SectionLine(Section);
  if Start < 0 then
    Exit;
  Line := ValueLine(Start, Ident);
  if Line >= 0 then
  begin
    FLines.Delete(Line);
    FModified := True;
  end;
end;

procedure TVkIniDocument.GetSections(Strings: TStrings);
var
  I: Integer;
  S: string;
begin
  for I := 0 to FLines.Count - 1 do
    if VkIsSectionHeader(FLines[I]) then
    begin
      S := Trim(FLines[I]);
      Strings.Add(Copy(S, 2, Length(S) - 2));
    end;
end;

function VkLoadIniDocument(const FileName: string): TVkIniDocument;
begin
  Result := TVkIniDocument.Create(FileName);
  if FileExists(FileName) then
    Result.Lines.LoadFromFile(FileName);
end;

end.
