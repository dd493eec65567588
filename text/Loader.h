#pragma once

#include "text/Table.h"

#include <juce_core/juce_core.h>

/** The text source of the program: one instance that chooses the interface language from the
    user's preferred languages, holds every language's font name and display name and the texts
    of the current language, and switches language on request. Everything it holds is a
    reference-counted copy of a StrRes entry.

    Message thread only: nothing here is locked, m_pinstance included. */
class TxtLoader
{
public:
    /** Creates the instance and chooses the language, unless there is an instance already (then
        the language is not chosen again). */
    static void createInstance();

    /** The instance, created first as by createInstance() when there is none; never null. */
    static TxtLoader* getInstance();

    /** Deletes the instance, if there is one; a later getInstance() creates a new one. */
    static void releaseInstance();

    /** Makes the given language current and loads its texts, even when it is current already.
        A value outside LANG_EN ... LANG_JA is ignored. */
    void setLocale (LangIdTable_t langId);

    // The accessors return references into the instance, valid while it lives; the text they
    // show follows setLocale(). An index outside its range gives the empty string.

    /** Font name of the current language; empty while no language is chosen. */
    const juce::String& getFont() const;
    const juce::String& getFont (LangIdTable_t langId) const;

    /** Name of the given language in that language. */
    const juce::String& getLang (LangIdTable_t langId) const;

    /** Text of the given id in the current language. */
    const juce::String& getString (StrIdTable_t strId) const;

    /** Copies one group of table entries into the instance: the Windows or the macOS font names,
        the language names, or the texts of the current language (nothing while none is chosen).
        Any other flag copies nothing. */
    void Load (FlgTable_t flag);

    /** The current language; LANG_NUM while none is chosen. */
    LangIdTable_t m_langId = LANG_NUM;

private:
    juce::String m_nullStr;

public:
    /** The languages that the language list offers. */
    bool m_langEnable[LANG_NUM] = {};

private:
    juce::String m_fontName[LANG_NUM];
    juce::String m_langName[LANG_NUM];
    juce::String m_text[SID_NUM];

    static TxtLoader* m_pinstance;

    TxtLoader();
    // Private so that only releaseInstance() deletes the instance and clears m_pinstance.
    virtual ~TxtLoader();

    /** Offers every language and returns the first preferred language that is known, English
        when there is none. */
    LangIdTable_t chkLocale();

    JUCE_DECLARE_NON_COPYABLE (TxtLoader)
};
