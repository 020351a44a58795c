unit VklMemStore;

{ TVkMemoryStore keeps the settings in memory only: useful for tests and for defaults that
  are layered below a persistent store. }

{$I Velkora.inc}

interface

uses
  Classes, SysUtils, VklStore, VklCache;

type
  TVkMemoryStore = class(TVkSettingsStore)
  private
    FValues: TVkSectionCache;
  protected
    function DoReadString(const Section, Ident: string; out Value: string): Boolean; override;
    procedure DoWriteString(const Section, Ident, Value: string); override;
    procedure DoDeleteValue(const Section, Ident: string); override;
    procedure DoReadSections(Strings: TStrings); override;
  public
    constructor Create(AOwner: TComponent); override;
    destructor Destroy; override;
  end;

implementation

constructor TVkMemoryStore.Create(AOwner: TComponent);
begin
  inherited Create(AOwner);
  FValues := TVkSectionCache.Create;
end;

destructor TVkMemoryStore.Destroy;
begin
  FValues.Free;
  inherited Destroy;
end;

function TVkMemoryStore.DoReadString(const Section, Ident: string; out Value: string): Boolean;
begin
  Result := FValues.Lookup(Section, Ident, Value);
end;

procedure TVkMemoryStore.DoWriteString(const Section, Ident, Value: string);
begin
  FValues.Store(Section, Ident, Value);
end;

procedure TVkMemoryStore.DoDeleteValue(const Section, Ident: string);
begin
  FValues.Forget(Section, Ident);
end;

procedure TVkMemoryStore.DoReadSections(Strings: TStrings);
begin
  FValues.GetSections(Strings);
end;

end.
