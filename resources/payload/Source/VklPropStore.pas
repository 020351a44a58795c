unit VklPropStore;

{ TVkPropertyStore saves and restores a list of published properties of the components on
  its form, named as "Component.Property" (for example "Splitter1.Left"). }

{$I Velkora.inc}

interface

uses
  Classes, SysUtils, VklStore, VklRtti;

type
  TVkPropertyStore = class(TComponent)
  private
    FStore: TVkSettingsStore;
    FSection: string;
    FProperties: TStrings;
    procedure SetProperties(Value: TStrings);
    function FindTarget(const Path: string; out Instance: TPersistent; out Prop: string): Boolean;
  public
    constructor Create(AOwner: TComponent); override;
    destructor Destroy; override;
    procedure Save;
    procedure Restore;
  published
    property Store: TVkSettingsStore read FStore write FStore;
    property Section: string read FSection write FSection;
    property Properties: TStrings read FProperties write SetProperties;
  end;

implementation

constructor TVkPropertyStore.Create(AOwner: TComponent);
begin
  inherited Create(AOwner);
  FProperties := TStringList.Create;
end;

destructor TVkPropertyStore.Destroy;
begin
  FProperties.Free;
  inherited Destroy;
end;

procedure TVkPropertyStore.SetProperties(Value: TStrings);
begin
  FProperties.Assign(Value);
end;

function TVkPropertyStore.FindTarget(const Path: string; out Instance: TPersistent;
  out Prop: string): Boolean;
var
  Dot: Integer;
  Component: TComponent;
begin
  Result := False;
  Dot := Pos('.', Path);
  if (Dot = 0) or (Owner = nil) then
    Exit;
  Component := Owner.FindComponent(Copy(Path, 1, Dot - 1));
  Prop := Copy(Path, Dot + 1, MaxInt);
  Instance := Component;
  Result := (Component <> nil) and VkHasProperty(Component, Prop);
end;

procedure TVkPropertyStore.Save;
var
  I: Integer;
  Instance: TPersistent;
  Prop: string;
begin
  if FStore = nil then
    Exit;
  for I := 0 to FProperties.Count - 1 do
    if FindTarget(FProperties[I], Instance, Prop) then
      FStore.WriteString(FSection, FProperties[I], VkGetPropertyText(Instance, Prop));
end;

procedure TVkPropertyStore.Restore;
var
  I: Integer;
  Instance: TPersistent;
  Prop, Value: string;
begin
  if FStore = nil then
    Exit;
  for I := 0 to FProperties.Count - 1 do
    if FindTarget(FProperties[I], Instance, Prop) then
    begin
      Value := FStore.ReadString(FSection, FProperties[I], #0);
      if Value <> #0 then
        VkSetPropertyText(Instance, Prop, Value);
    end;
end;

end.
