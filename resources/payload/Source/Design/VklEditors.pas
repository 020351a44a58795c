unit VklEditors;

{ Design-time editors: a component editor for TVkPropertyStore that opens the property list
  dialog, and the about-box verb on every Velkora component. Uses the DesignIntf interfaces
  of C++Builder 6, Developer Studio and RAD Studio. }

{$I ..\Velkora.inc}

interface

uses
  Classes, DesignIntf, DesignEditors;

type
  TVkComponentEditor = class(TComponentEditor)
  public
    function GetVerbCount: Integer; override;
    function GetVerb(Index: Integer): string; override;
    procedure ExecuteVerb(Index: Integer); override;
  end;

  TVkPropertyStoreEditor = class(TVkComponentEditor)
  public
    function GetVerbCount: Integer; override;
    function GetVerb(Index: Integer): string; override;
    procedure ExecuteVerb(Index: Integer); override;
  end;

procedure Register;

implementation

uses
  Windows, VklAbout, VklStore, VklFormState, VklPropStore, VklPropsDlg;

function TVkComponentEditor.GetVerbCount: Integer;
begin
  Result := 1;
end;

function TVkComponentEditor.GetVerb(Index: Integer): string;
begin
  Result := 'About Velkora...';
end;

procedure TVkComponentEditor.ExecuteVerb(Index: Integer);
begin
  VkShowAbout(GetActiveWindow);
end;

function TVkPropertyStoreEditor.GetVerbCount: Integer;
begin
  Result := inherited GetVerbCount + 1;
end;

function TVkPropertyStoreEditor.GetVerb(Index: Integer): string;
begin
  if Index = 0 then
    Result := 'Stored properties...'
  else
    Result := inherited GetVerb(Index - 1);
end;

procedure TVkPropertyStoreEditor.ExecuteVerb(Index: Integer);
begin
  if Index = 0 then
  begin
    if VkEditStoredProperties(Component as TVkPropertyStore) then
      Designer.Modified;
  end
  else
    inherited ExecuteVerb(Index - 1);
end;

procedure Register;
begin
  RegisterComponentEditor(TVkSettingsStore, TVkComponentEditor);
  RegisterComponentEditor(TVkFormState, TVkComponentEditor);
  RegisterComponentEditor(TVkPropertyStore, TVkPropertyStoreEditor);
end;

end.
