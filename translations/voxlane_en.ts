<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>PanelRules</name>
    <message numerus="yes">
        <source>%n silent app(s)</source>
        <translation>
            <numerusform>%n silent app</numerusform>
            <numerusform>%n silent apps</numerusform>
        </translation>
    </message>
</context>
</TS>
