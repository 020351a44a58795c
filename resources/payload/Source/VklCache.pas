unit VklCache;

{ Values by section and identifier in memory: "Section" + #1 + "Ident" keys of a sorted list. }

{$I Velkora.inc}

interface

uses
  Classes;

type
  TVkCachedValue = class
  public
    Value: string;
  end;

  TVkSectionCache = class
  private
    FItems: TStringList;
    function KeyOf(const Section, Ident: string): string;
  public
    constructor Create;
    destructor Destroy; override;
    function Lookup(const Section, Ident: string; out Value: string): Boolean;
    procedure Store(const Section, Ident, Value: string);
    procedure Forget(const Section, Ident: string);
    procedure GetSections(Strings: TStrings);
  end;

implementation

constructor TVkSectionCache.Create;
begin
  inherited Create;
  FItems := TStringList.Create;
  FItems.Sorted := True;
end;

destructor TVkSectionCache.Destroy;
var
  I: Integer;
begin
  for I := 0 to FItems.Count - 1 do
    FItems.Objects[I].Free;
  FItems.Free;
  inherited Destroy;
end;

function TVkSectionCache.KeyOf(const Section, Ident: string): string;
begin
  Result := Section + #1 + Ident;
end;

function TVkSectionCache.Lookup(const Section, Ident: string; out Value: string): Boolean;
var
  Index: Integer;
begin
  Result := FItems.Find(KeyOf(Section, Ident), Index);
  if Result then
    Value := TVkCachedValue(FItems.Objects[Index]).Value;
end;

procedure TVkSectionCache.Store(const Section, Ident, Value: string);
var
  Index: Integer;
begin
  if not FItems.Find(KeyOf(Section, Ident), Index) then
    Index := FItems.AddObject(KeyOf(Section, Ident), TVkCachedValue.Create);
  TVkCachedValue(FItems.Objects[Index]).Value := Value;
end;

procedure TVkSectionCache.Forget(const Section, Ident: string);
var
  Index: Integer;
begin
  if FItems.Find(KeyOf(Section, Ident), Index) then
  begin
    FItems.Objects[Index].Free;
    FItems.Delete(Index);
  end;
end;

procedure TVkSectionCache.GetSections(Strings: TStrings);
var
  I: Integer;
  Section: string;
begin
  for I := 0 to FItems.Count - 1 do
  begin
    Section := Copy(FItems[I], 1, Pos(#1, FItems[I]) - 1);
    if Strings.IndexOf(Section) < 0 then
      Strings.Add(Section);
  end;
end;

end.
