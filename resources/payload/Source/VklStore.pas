unit VklStore;

{ TVkSettingsStore: the abstract settings store that every back end implements. Values are
  named by a section and an identifier, as in an INI file, and stored as text. }

{$I Velkora.inc}

interface

uses
  Classes, SysUtils, VklConvert, VklNotify, VklLocks;

type
  EVkSettingsError = class(Exception);

  TVkSettingsStore = class(TComponent)
  private
    FRootSection: string;
    FObservers: TVkNotifyList;
    FLock: TVkLock;
  protected
    function DoReadString(const Section, Ident: string; out Value: string): Boolean; virtual; abstract;
    procedure DoWriteString(const Section, Ident, Value: string); virtual; abstract;
    procedure DoDeleteValue(const Section, Ident: string); virtual; abstract;
    procedure DoReadSections(Strings: TStrings); virtual; abstract;
    function FullSection(const Section: string): string;
    procedure Changed(const Section, Ident: string);
  public
    constructor Create(AOwner: TComponent); override;
    destructor Destroy; override;
    function ReadString(const Section, Ident, Default: string): string;
    function ReadInteger(const Section, Ident: string; Default: Integer): Integer;
    function ReadBool(const Section, Ident: string; Default: Boolean): Boolean;
    procedure WriteString(const Section, Ident, Value: string);
    procedure WriteInteger(const Section, Ident: string; Value: Integer);
    procedure WriteBool(const Section, Ident: string; Value: Boolean);
    procedure DeleteValue(const Section, Ident: string);
    procedure ReadSections(Strings: TStrings);
    property Observers: TVkNotifyList read FObservers;
  published
    property RootSection: string read FRootSection write FRootSection;
  end;

implementation

constructor TVkSettingsStore.Create(AOwner: TComponent);
begin
  inherited Create(AOwner);
  FObservers := TVkNotifyList.Create;
  FLock := TVkLock.Create;
end;

destructor TVkSettingsStore.Destroy;
begin
  FLock.Free;
  FObservers.Free;
  inherited Destroy;
end;

function TVkSettingsStore.FullSection(const Section: string): string;
begin
  if FRootSection = '' then
    Result := Section
  else
    Result := FRootSection + '\' + Section;
end;

procedure TVkSettingsStore.Changed(const Section, Ident: string);
begin
  FObservers.Notify(Self, Section, Ident);
end;

function TVkSettingsStore.ReadString(const Section, Ident, Default: string): string;
begin
  FLock.Enter;
  try
    if not DoReadString(FullSection(Section), Ident, Result) then
      Result := Default;
  finally
    FLock.Leave;
  end;
end;

function TVkSettingsStore.ReadInteger(const Section, Ident: string; Default: Integer): Integer;
begin
  Result := VkTextToInt(ReadString(Section, Ident, ''), Default);
end;

function TVkSettingsStore.ReadBool(const Section, Ident: string; Default: Boolean): Boolean;
begin
  Result := VkTextToBool(ReadString(Section, Ident, ''), Default);
end;

procedure TVkSettingsStore.WriteString(const Section, Ident, Value: string);
begin
  FLock.Enter;
  try
    DoWriteString(FullSection(Section), Ident, Value);
  finally
    FLock.Leave;
  end;
  Changed(Section, Ident);
end;

procedure TVkSettingsStore.WriteInteger(const Section, Ident: string; Value: Integer);
begin
  WriteString(Section, Ident, IntToStr(Value));
end;

procedure TVkSettingsStore.WriteBool(const Section, Ident: string; Value: Boolean);
begin
  WriteString(Section, Ident, VkBoolToText(Value));
end;

procedure TVkSettingsStore.DeleteValue(const Section, Ident: string);
begin
  FLock.Enter;
  try
    DoDeleteValue(FullSection(Section), Ident);
  finally
    FLock.Leave;
  end;
  Changed(Section, Ident);
end;

procedure TVkSettingsStore.ReadSections(Strings: TStrings);
begin
  Strings.BeginUpdate;
  try
    Strings.Clear;
    DoReadSections(Strings);
  finally
    Strings.EndUpdate;
  end;
end;

end.
