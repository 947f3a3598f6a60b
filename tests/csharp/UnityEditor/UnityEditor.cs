// A stand-in for the parts of Unity's editor API that the Corvan Velo package uses, written from
// Unity's scripting reference with its namespaces and signatures. UnityApiStandIn.Editor plays
// the editor's part. Never shipped.
using System;
using System.Collections.Generic;
using System.IO;
using System.Linq;
using System.Reflection;
using UnityEngine;

namespace UnityEditor
{
    public static class AssemblyReloadEvents
    {
        public delegate void AssemblyReloadCallback();

        public static event AssemblyReloadCallback beforeAssemblyReload;
        public static event AssemblyReloadCallback afterAssemblyReload;

        internal static void Reload()
        {
            beforeAssemblyReload?.Invoke();
            afterAssemblyReload?.Invoke();
        }
    }

    [AttributeUsage(AttributeTargets.Class)]
    public class InitializeOnLoadAttribute : Attribute
    {
    }

    [AttributeUsage(AttributeTargets.Method, AllowMultiple = true)]
    public sealed class MenuItem : Attribute
    {
        public MenuItem(string itemName)
        {
            menuItem = itemName;
        }

        public string menuItem;
    }

    public enum PlayModeStateChange
    {
        EnteredEditMode,
        ExitingEditMode,
        EnteredPlayMode,
        ExitingPlayMode,
    }

    public static class EditorApplication
    {
        public static event Action<PlayModeStateChange> playModeStateChanged;

        public static bool isPlayingOrWillChangePlaymode { get; internal set; }

        internal static void Change(PlayModeStateChange change)
        {
            playModeStateChanged?.Invoke(change);
        }
    }

    [AttributeUsage(AttributeTargets.Class)]
    public sealed class FilePathAttribute : Attribute
    {
        public enum Location
        {
            PreferencesFolder,
            ProjectFolder,
        }

        public FilePathAttribute(string relativePath, Location location)
        {
            RelativePath = relativePath;
        }

        internal string RelativePath { get; }
    }

    /// <summary>One instance a domain, kept in the file its FilePath names: here its serialized
    /// fields, one "name: value" line each.</summary>
    public class ScriptableSingleton<T> : ScriptableObject
        where T : ScriptableObject
    {
        private static T loaded;

        public static T instance => loaded ?? (loaded = Load());

        protected ScriptableSingleton()
        {
        }

        protected virtual void Save(bool saveAsText)
        {
            var path = GetFilePath();
            Directory.CreateDirectory(Path.GetDirectoryName(path));
            File.WriteAllLines(path, Fields().Select(f => f.Name + ": " + f.GetValue(this)));
        }

        protected static string GetFilePath()
        {
            return Path.Combine(UnityApiStandIn.Engine.ProjectFolder,
                                typeof(T).GetCustomAttribute<FilePathAttribute>().RelativePath);
        }

        private static T Load()
        {
            var created = CreateInstance<T>();
            var path = GetFilePath();
            if (File.Exists(path))
            {
                var values = File.ReadAllLines(path).Select(l => l.Split(new[] { ": " }, 2, 0));
                foreach (var field in Fields())
                {
                    var value = values.FirstOrDefault(v => v[0] == field.Name);
                    if (value != null)
                    {
                        field.SetValue(created, Convert.ChangeType(value[1], field.FieldType));
                    }
                }
            }
            return created;
        }

        private static IEnumerable<FieldInfo> Fields()
        {
            return typeof(T)
                .GetFields(BindingFlags.Instance | BindingFlags.Public | BindingFlags.NonPublic)
                .Where(f => f.IsPublic || f.IsDefined(typeof(SerializeField)));
        }

        internal static void Forget()
        {
            loaded = null;
        }
    }

    public enum SettingsScope
    {
        User,
        Project,
    }

    [AttributeUsage(AttributeTargets.Method)]
    public sealed class SettingsProviderAttribute : Attribute
    {
    }

    public class SettingsProvider
    {
        public SettingsProvider(string path, SettingsScope scopes,
                                IEnumerable<string> keywords = null)
        {
            settingsPath = path;
            scope = scopes;
            this.keywords = new HashSet<string>(keywords ?? Enumerable.Empty<string>());
        }

        public string settingsPath { get; }

        public SettingsScope scope { get; }

        public IEnumerable<string> keywords { get; set; }

        public virtual void OnGUI(string searchContext)
        {
        }
    }

    public class EditorWindow : ScriptableObject
    {
        public GUIContent titleContent { get; set; } = new GUIContent("");

        public static T GetWindow<T>(string title)
            where T : EditorWindow
        {
            var window = CreateInstance<T>();
            window.titleContent = new GUIContent(title);
            return window;
        }

        public void Repaint()
        {
        }
    }

    public enum MessageType
    {
        None,
        Info,
        Warning,
        Error,
    }

    public static class EditorStyles
    {
        public static GUIStyle boldLabel { get; } = new GUIStyle();
        public static GUIStyle label { get; } = new GUIStyle();
        public static GUIStyle wordWrappedLabel { get; } = new GUIStyle { wordWrap = true };
        public static GUIStyle toolbar { get; } = new GUIStyle();
        public static GUIStyle toolbarButton { get; } = new GUIStyle();
        public static GUIStyle toolbarSearchField { get; } = new GUIStyle();
    }

    /// <summary>Immediate-mode editor controls: nothing is drawn, every control keeps its value.
    /// </summary>
    public static class EditorGUILayout
    {
        public sealed class HorizontalScope : IDisposable
        {
            public HorizontalScope(params GUILayoutOption[] options)
            {
            }

            public HorizontalScope(GUIStyle style, params GUILayoutOption[] options)
            {
            }

            public void Dispose()
            {
            }
        }

        public static void LabelField(string label, params GUILayoutOption[] options)
        {
        }

        public static void LabelField(string label, GUIStyle style,
                                      params GUILayoutOption[] options)
        {
        }

        public static void SelectableLabel(string text, GUIStyle style,
                                           params GUILayoutOption[] options)
        {
        }

        public static string TextField(string text, GUIStyle style,
                                       params GUILayoutOption[] options)
        {
            return text;
        }

        public static bool Toggle(string label, bool value, params GUILayoutOption[] options)
        {
            return value;
        }

        public static void HelpBox(string message, MessageType type)
        {
        }

        public static Vector2 BeginScrollView(Vector2 scrollPosition,
                                              params GUILayoutOption[] options)
        {
            return scrollPosition;
        }

        public static void EndScrollView()
        {
        }
    }

    public static class EditorGUIUtility
    {
        public static string systemCopyBuffer { get; set; } = "";
    }

    public static class EditorUtility
    {
        public static string OpenFilePanel(string title, string directory, string extension)
        {
            return "";
        }

        public static string SaveFilePanel(string title, string directory, string defaultName,
                                           string extension)
        {
            return "";
        }
    }
}

namespace UnityEditor.PackageManager
{
    public sealed class PackageInfo
    {
        public string name { get; private set; }
        public string resolvedPath { get; private set; }

        // Outside Unity no assembly comes from a package.
        public static PackageInfo FindForAssembly(System.Reflection.Assembly assembly)
        {
            return null;
        }
    }
}

namespace UnityApiStandIn
{
    using UnityEditor;

    /// <summary>What the editor does, on the tests' command.</summary>
    public static class Editor
    {
        /// <summary>Scripts changed: the editor reloads the assemblies, which forgets every
        /// ScriptableSingleton's instance (the next is read from its file) and runs the
        /// [InitializeOnLoad] classes' static constructors again, as the reload of
        /// `assemblies` does.</summary>
        public static void ReloadScripts(params Assembly[] assemblies)
        {
            AssemblyReloadEvents.Reload();
            foreach (var type in assemblies.SelectMany(a => a.GetTypes()))
            {
                for (var t = type.BaseType; t != null; t = t.BaseType)
                {
                    if (t.IsGenericType &&
                        t.GetGenericTypeDefinition() == typeof(ScriptableSingleton<>))
                    {
                        t.GetMethod("Forget", BindingFlags.Static | BindingFlags.NonPublic)
                            .Invoke(null, null);
                    }
                }
                if (type.IsDefined(typeof(InitializeOnLoadAttribute)))
                {
                    type.TypeInitializer?.Invoke(null, null);
                }
            }
        }

        /// <summary>The editor enters play mode (with a domain reload of `assemblies` between
        /// leaving edit mode and entering play mode, when they are given) or leaves it.</summary>
        public static void SetPlayMode(bool playing, params Assembly[] assemblies)
        {
            EditorApplication.isPlayingOrWillChangePlaymode = playing;
            EditorApplication.Change(playing ? PlayModeStateChange.ExitingEditMode
                                             : PlayModeStateChange.ExitingPlayMode);
            if (assemblies.Length > 0)
            {
                ReloadScripts(assemblies);
            }
            Engine.SetPlaying(playing);
            EditorApplication.Change(playing ? PlayModeStateChange.EnteredPlayMode
                                             : PlayModeStateChange.EnteredEditMode);
        }

        /// <summary>What a SettingsProvider creator of `assemblies` gives for the page at
        /// `path`, as the Project Settings window finds it; null when none does.</summary>
        public static SettingsProvider SettingsPage(string path, params Assembly[] assemblies)
        {
            return assemblies.SelectMany(a => a.GetTypes())
                .SelectMany(t => t.GetMethods(BindingFlags.Static | BindingFlags.Public |
                                              BindingFlags.NonPublic))
                .Where(m => m.IsDefined(typeof(SettingsProviderAttribute)))
                .Select(m => (SettingsProvider)m.Invoke(null, null))
                .FirstOrDefault(p => p.settingsPath == path);
        }
    }
}
