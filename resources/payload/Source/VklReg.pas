unit VklReg;

{ Registers the Velkora components on the component palette. }

{$I Velkora.inc}

interface

procedure Register;

implementation

{$R VklReg.dcr}

uses
  Classes, VklConsts, VklIniStore, VklRegStore, VklMemStore, VklFormState, VklPropStore;

procedure Register;
begin
  RegisterComponents(VklPalettePage, [TVkIniStore, TVkRegistryStore, TVkMemoryStore,
    TVkFormState, TVkPropertyStore]);
end;

end.
